#pragma once
// Shared by the preferences tests: a scratch working directory, file
// helpers, and a reader that gives any setting's value as text by name.
#include "base/errors.h"
#include "core/settingsstore.h"
#include "preferences/Toptions.h"
#include "preferences/settingstable.h"
#include "support/scripteddialogs.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

inline QByteArray readBytes(const QString &name)
{
    QFile f(name);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return f.readAll();
}

inline void writeBytes(const QString &name, const QByteArray &bytes)
{
    QFile f(name);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(name));
    QCOMPARE(f.write(bytes), bytes.size());
}

// The stand-in pane a font setting names ("chat", "users", ...; any other
// name: the channel line).
inline QWidget *paneNamed(const TMainPanes &panes, const QString &pane)
{
    return pane == QLatin1String("chat")      ? panes.chat
           : pane == QLatin1String("users")   ? panes.users
           : pane == QLatin1String("text")    ? panes.text
           : pane == QLatin1String("whisper") ? panes.whisper
           : pane == QLatin1String("brx")     ? panes.brx
                                              : panes.channel;
}

// A setting as text: flags and radio buttons "1"/"0", texts as they are,
// numbers and pick lists as decimals, colours by name, lists joined by "|".
// Pane fonts are "font:<pane>" and "size:<pane>".
inline QString settingText(Toptions &o, const TMainPanes &panes, const QString &name)
{
    if (name.startsWith(QLatin1String("font:")) || name.startsWith(QLatin1String("size:"))) {
        QWidget *w = paneNamed(panes, name.mid(5));
        if (!w)
            return QStringLiteral("<no pane>");
        return name.startsWith(QLatin1String("font:")) ? w->font().family()
                                                       : QString::number(w->font().pointSize());
    }
    QObject *c = o.findChild<QObject *>(name);
    if (!c)
        return QStringLiteral("<no control %1>").arg(name);
    if (auto *b = qobject_cast<QAbstractButton *>(c))
        return b->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    if (auto *e = qobject_cast<QLineEdit *>(c))
        return e->text();
    if (auto *cb = qobject_cast<TColourBox *>(c))
        return cb->selectedName();
    if (auto *p = qobject_cast<TPickList *>(c))
        return QString::number(p->currentIndex());
    if (auto *s = qobject_cast<QSpinBox *>(c))
        return QString::number(s->value());
    if (auto *combo = qobject_cast<QComboBox *>(c))
        return combo->currentText();
    if (auto *l = qobject_cast<QListWidget *>(c)) {
        QStringList items;
        for (int i = 0; i < l->count(); ++i)
            items << l->item(i)->text();
        return items.join(QLatin1Char('|'));
    }
    return QStringLiteral("<unknown kind>");
}

// The same setting as the store holds it, in the same form: what the
// dialog shows and what the rest of the program reads must agree.
inline QString storeText(const TSettingsStore &store, const QString &name)
{
    using namespace TSetting;
    if (name.startsWith(QLatin1String("font:")) || name.startsWith(QLatin1String("size:"))) {
        static const QStringList panes = {QStringLiteral("chat"), QStringLiteral("users"),
                                          QStringLiteral("text"), QStringLiteral("whisper"),
                                          QStringLiteral("brx")};
        const int pane = int(panes.indexOf(name.mid(5)));
        if (pane < 0)
            return QStringLiteral("<no pane>");
        return name.startsWith(QLatin1String("font:"))
                   ? store.shown(faceOf(Pane(pane)))
                   : QString::number(store.number(sizeOf(Pane(pane))));
    }
    static const QStringList idle = {QStringLiteral("ai_users"), QStringLiteral("ai_stats"),
                                     QStringLiteral("ai_time")};
    if (idle.contains(name))
        return store.number(idletype) == idle.indexOf(name) + 1 ? QStringLiteral("1")
                                                                : QStringLiteral("0");
    for (const TSettings::Setting &s : TSettings::all()) {
        if (!s.name || name != QLatin1String(s.name))
            continue;
        switch (def(s.id).kind) {
        case Kind::Flag:
            return store.flag(s.id) ? QStringLiteral("1") : QStringLiteral("0");
        case Kind::Text:
            return store.shown(s.id);
        case Kind::Colour:
            return store.colourName(s.id);
        case Kind::List: {
            QStringList shown;
            for (const QString &bytes : store.list(s.id))
                shown << TText::decode(bytes);
            return shown.join(QLatin1Char('|'));
        }
        default:
            return QString::number(store.number(s.id));
        }
    }
    return QStringLiteral("<no setting %1>").arg(name);
}

// Five panes with fonts and a channel box, as the main window has them.
struct FakePanes {
    QWidget chat, users, text, whisper, brx, channel;
    QColor background, listText, whisperText;
    int backgroundCalls = 0;
    bool dispWhisper = true;

    FakePanes()
    {
        for (QWidget *w : {&chat, &whisper, &text})
            w->setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
        for (QWidget *w : {&users, &brx, &channel})
            w->setFont(QFont(QStringLiteral("MS Sans Serif"), 7));
    }
    TMainPanes panes()
    {
        TMainPanes p;
        p.chat = &chat;
        p.users = &users;
        p.text = &text;
        p.whisper = &whisper;
        p.brx = &brx;
        p.channel = &channel;
        p.setBackground = [this](const QColor &c) {
            background = c;
            ++backgroundCalls;
        };
        p.setListTextColour = [this](const QColor &c) { listText = c; };
        p.setWhisperTextColour = [this](const QColor &c) { whisperText = c; };
        p.dispWhisperChecked = [this] { return dispWhisper; };
        return p;
    }
};

// Runs f and returns the text of the TError it raised ("" when none).
template <class F> QString errorOf(F &&f)
{
    try {
        f();
    } catch (const TError &e) {
        return e.text();
    }
    return QString();
}

// Each test runs in a fresh working directory.
class ScratchDir {
public:
    ScratchDir() : m_old(QDir::currentPath()) { QDir::setCurrent(m_dir.path()); }
    ~ScratchDir() { QDir::setCurrent(m_old); }
    QString path() const { return m_dir.path(); }

private:
    QString m_old;
    QTemporaryDir m_dir;
};

// What each preferences test starts from and ends with: a scratch working
// directory, scripted dialogs, and the dialog over stand-ins for the
// window's panes.
template <typename Dialogs = ScriptedDialogs> class OptionsBench {
protected:
    std::unique_ptr<ScratchDir> m_dir;
    std::unique_ptr<Dialogs> m_dialogs;
    std::unique_ptr<FakePanes> m_fake;
    std::unique_ptr<Toptions> m_options;

    void openBench()
    {
        m_dir = std::make_unique<ScratchDir>();
        m_dialogs = std::make_unique<Dialogs>();
    }
    // A new dialog over new panes.
    Toptions &freshOptions()
    {
        m_options.reset();
        m_fake = std::make_unique<FakePanes>();
        m_options = std::make_unique<Toptions>();
        m_options->setMainPanes(m_fake->panes());
        return *m_options;
    }
    // The dialog goes before the panes it was given, the directory last.
    void closeBench()
    {
        m_options.reset();
        m_fake.reset();
        m_dialogs.reset();
        m_dir.reset();
    }
};
