// tressel.conf: the settings and pane fonts as "key=value" lines of 8-bit
// text (held one byte per character, so every byte survives), CR LF line
// ends. Texts are kept as the bytes the file gave them; only what was edited
// since is encoded afresh.
#include "base/version.h"
#include "preferences/Toptions.h"
#include "preferences/settingstable.h"

#include "base/clock.h"
#include "base/errors.h"
#include "base/files.h"
#include "widgets/textitems.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>

namespace {

const QString configName = QStringLiteral("tressel.conf");
const QString backupName = QStringLiteral("tressel.conf.bak");

QString flag(const QCheckBox *box)
{
    return box->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
}

int pointsOf(const QFont &font)
{
    return font.pointSize() > 0 ? font.pointSize() : qRound(font.pointSizeF());
}

} // namespace

QWidget *Toptions::paneOf(PaneFont which) const
{
    switch (which) {
    case ChatFont:
        return m_panes.chat;
    case UserFont:
        return m_panes.users;
    case TextFont:
        return m_panes.text;
    case RawFont:
        return m_panes.whisper;
    case BrxFont:
        return m_panes.brx;
    case PaneFontCount:
        break;
    }
    return nullptr;
}

QFont Toptions::paneFont(PaneFont which) const
{
    const QWidget *pane = paneOf(which);
    return pane ? pane->font() : m_storedFonts[which];
}

void Toptions::setPaneFontFamily(PaneFont which, const QString &family)
{
    QFont f = paneFont(which);
    f.setFamily(family);
    setPaneFont(which, paneOf(which), f);
}

void Toptions::setPaneFontSize(PaneFont which, int points)
{
    if (points <= 0) {
        // No font can have that size; say so rather than drop it unseen.
        if (OnNotice)
            OnNotice(QStringLiteral("tressel.conf: the font size %1 is not usable; the font "
                                    "kept its size.")
                         .arg(points));
        return;
    }
    QFont f = paneFont(which);
    f.setPointSize(points);
    setPaneFont(which, paneOf(which), f);
}

QString Toptions::fontFamilyBytes(PaneFont which) const
{
    const QString family = paneFont(which).family();
    if (!m_familyBytes[which].isNull() && family == m_familyRead[which])
        return m_familyBytes[which];
    // A face chosen since: in the chosen encoding where it can hold the
    // name, otherwise UTF-8 (it reads back either way, and a face name is
    // nothing the user typed to refuse).
    QString bytes;
    if (TText::encode(family, typedEncoding(), bytes))
        return bytes;
    return TTextItem::ownText(family);
}

QStringList Toptions::settingLines(const TSettings::Setting &setting) const
{
    using namespace TSettings;
    const QString key = QLatin1String(setting.key) + QLatin1Char('=');
    QStringList out;
    std::visit(
        [&](auto control) {
            using C = decltype(control);
            if constexpr (std::is_same_v<C, PaneFontPart>) {
                out << key + (control.size ? QString::number(pointsOf(paneFont(control.pane)))
                                           : fontFamilyBytes(control.pane));
            } else if constexpr (std::is_same_v<C, QListWidget * Toptions::*>) {
                const QListWidget *list = this->*control;
                for (int i = 0; i < list->count(); ++i)
                    out << key + TTextItem::bytesOf(list->item(i));
            } else {
                const auto *c = this->*control;
                using W = std::remove_cv_t<std::remove_pointer_t<decltype(c)>>;
                if constexpr (std::is_same_v<W, TByteEdit>)
                    out << key + bytesOf(c);
                else if constexpr (std::is_same_v<W, QComboBox>)
                    out << key + bytesOf(serverEdit());
                else if constexpr (std::is_same_v<W, QCheckBox>)
                    out << key + flag(c);
                else if constexpr (std::is_same_v<W, QRadioButton>) // the anti-idle command
                    out << key + (ai_stats->isChecked()  ? QStringLiteral("2")
                                  : ai_time->isChecked() ? QStringLiteral("3")
                                                         : QStringLiteral("1"));
                else if constexpr (std::is_same_v<W, TSpinBox>)
                    out << key + QString::number(c->value());
                else if constexpr (std::is_same_v<W, TPickList>)
                    out << key + QString::number(c->currentIndex());
                else
                    out << key + c->selectedName();
            }
        },
        setting.control);
    return out;
}

void Toptions::applySetting(const TSettings::Setting &setting, const QString &v)
{
    using namespace TSettings;
    std::visit(
        [&](auto control) {
            using C = decltype(control);
            if constexpr (std::is_same_v<C, PaneFontPart>) {
                if (control.size) {
                    setPaneFontSize(control.pane, strToInt(v));
                } else {
                    m_familyBytes[control.pane] = v;
                    m_familyRead[control.pane] = TText::decode(v);
                    setPaneFontFamily(control.pane, m_familyRead[control.pane]);
                }
            } else {
                auto *c = this->*control;
                using W = std::remove_pointer_t<decltype(c)>;
                if constexpr (std::is_same_v<W, TByteEdit>) {
                    c->setBytes(v);
                } else if constexpr (std::is_same_v<W, QComboBox>) {
                    serverEdit()->setBytes(v);
                } else if constexpr (std::is_same_v<W, QCheckBox>) {
                    // Only a 1 checks a box, and nothing unchecks one. Setting
                    // a box checked from unchecked runs its click rule (toggled).
                    if (v.startsWith(QLatin1Char('1')))
                        c->setChecked(true);
                } else if constexpr (std::is_same_v<W, QRadioButton>) {
                    if (v.startsWith(QLatin1Char('1')))
                        ai_users->setChecked(true);
                    else if (v.startsWith(QLatin1Char('2')))
                        ai_stats->setChecked(true);
                    else if (v.startsWith(QLatin1Char('3')))
                        ai_time->setChecked(true);
                } else if constexpr (std::is_same_v<W, TSpinBox>) {
                    c->setValue(strToInt(v));
                } else if constexpr (std::is_same_v<W, TPickList>) {
                    c->selectIndex(strToInt(v));
                } else if constexpr (std::is_same_v<W, QListWidget>) {
                    if (c == safe)
                        insertSafeName(v); // in its alphabetical place
                    else
                        c->addItem(TTextItem::newItem(v));
                } else {
                    c->selectName(v);
                }
            }
        },
        setting.control);
}

QByteArray Toptions::configBytes() const
{
    const QDateTime now = currentDateTime();
    QStringList l;
    l << QStringLiteral("# Config file for Tressel " TRESSEL_VERSION
                        ". This is generated when you click OK on "
                        "the options dialogue.")
      << QStringLiteral("# You might screw it up if you manually edit it.")
      << QStringLiteral("# File generated at ") + TTextItem::ownText(longTimeText(now.time())) +
             QStringLiteral(" on ") + TTextItem::ownText(shortDateText(now.date())) +
             QStringLiteral(".");
    const char *section = nullptr;
    for (const TSettings::Setting &setting : TSettings::all()) {
        if (setting.file != TSettings::File::Conf)
            continue;
        if (!section || qstrcmp(section, setting.section) != 0) {
            section = setting.section;
            l << QString() << QLatin1Char('[') + QLatin1String(section) + QLatin1Char(']');
        }
        l << settingLines(setting);
    }
    // Whatever put a line break into a value, it must not become a line (and
    // a key) of its own.
    for (QString &line : l)
        line = singleLine(line);
    return (l.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toLatin1();
}

void Toptions::keepUnreadFile()
{
    // The last read stopped early, so the settings after that point (the
    // lists among them) exist only in the old file: keep it before replacing.
    if (!m_readIncomplete || !QFileInfo(configName).isFile())
        return;
    const QByteArray old = readWholeFile(configName);
    // The copy holds the same password: no one may read it who could not
    // read the file itself.
    const int confMode = fileMode(configName);
    replacePrivateFile(backupName, old,
                       confMode < 0 ? ownerOnlyMode : unsigned(confMode) & ownerOnlyMode);
    if (OnNotice)
        OnNotice(QStringLiteral("The old configuration file could not be read completely; it "
                                "was kept as tressel.conf.bak."));
}

void Toptions::writeconfig()
{
    const QByteArray bytes = configBytes();
    keepUnreadFile();
    replacePrivateFile(configName, bytes);
    m_readIncomplete = false;
}

void Toptions::applyLine(const QString &fileLine)
{
    // A lone CR inside a line is no line end, but no value holds one either.
    const QString line = singleLine(fileLine);
    static const QHash<QString, const TSettings::Setting *> byKey = [] {
        QHash<QString, const TSettings::Setting *> keys;
        for (const TSettings::Setting &setting : TSettings::all())
            if (setting.file == TSettings::File::Conf)
                keys.insert(QLatin1String(setting.key), &setting);
        return keys;
    }();
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq >= 0)
        if (const TSettings::Setting *setting = byKey.value(line.left(eq)))
            applySetting(*setting, line.mid(eq + 1));
    antiidleClick();
}

void Toptions::readconfig()
{
    const ReadBatch batch(this);
    triggers->clear();
    safe->clear();
    m_readIncomplete = false;

    QByteArray data;
    try {
        data = readWholeFile(configName);
    } catch (const TInOutError &e) {
        // A missing file is a first start; anything else is a file we failed to read.
        m_readIncomplete = QFileInfo::exists(configName);
        throw;
    }

    qsizetype start = 0;
    while (start < data.size()) {
        qsizetype end = data.indexOf('\n', start);
        if (end < 0)
            end = data.size();
        qsizetype stop = end;
        if (stop > start && data[stop - 1] == '\r')
            --stop;
        const QString line = QString::fromLatin1(data.constData() + start, stop - start);
        start = end + 1;
        try {
            applyLine(line);
        } catch (const TError &) {
            m_readIncomplete = true;
            throw;
        }
    }
}
