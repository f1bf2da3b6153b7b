// What the user does to one member from the `users` list: its pop-up menu,
// the double-click action and the Alt shortcuts.
#include "core/settingsstore.h"
#include "mainwindow/Tmain.h"

#include "base/clock.h"
#include "core/textcodec.h"
#include "mainwindow/journal.h"
#include "preferences/Toptions.h"
#include "rules/journal.h"
#include "session/TSession.h"
#include "widgets/dialogs.h"
#include "widgets/textitems.h"
#include "widgets/userlistview.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QTreeWidget>

namespace {
const QString manualReason = QStringLiteral("Manually Permasquelched");

// Hands the list's key presses to the window's handler.
class TUsersKeyFilter : public QObject {
public:
    TUsersKeyFilter(QObject *parent, std::function<void(int, Qt::KeyboardModifiers)> onKey)
        : QObject(parent), m_onKey(std::move(onKey))
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::ShortcutOverride) {
            // The window's shortcuts are looked up before the list sees the
            // key, and the Send button's "&Send" would take Alt+S: claiming
            // the four keys here makes them arrive as key presses instead.
            if (ours(static_cast<QKeyEvent *>(event))) {
                event->accept();
                return true;
            }
        } else if (event->type() == QEvent::KeyPress) {
            auto *key = static_cast<QKeyEvent *>(event);
            m_onKey(key->key(), key->modifiers());
            // Alt with the four letters is ours; every other key is the list's.
            if (ours(key))
                return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    static bool ours(const QKeyEvent *key)
    {
        return (key->modifiers() & Qt::AltModifier) &&
               (key->key() == Qt::Key_I || key->key() == Qt::Key_N || key->key() == Qt::Key_W ||
                key->key() == Qt::Key_S);
    }

    std::function<void(int, Qt::KeyboardModifiers)> m_onKey;
};
} // namespace

void Tmain::setupUserListActions()
{
    menus.userMenu = new QMenu(this);
    auto item = [this](QAction *&action, const QString &caption, auto handler) {
        action = menus.userMenu->addAction(caption);
        connect(action, &QAction::triggered, this, guard(handler));
    };
    item(menus.Permasquelch, QStringLiteral("Permasquelch"), [this] { PermasquelchClick(); });
    item(menus.Unpermasquelch, QStringLiteral("Unpermasquelch"), [this] { UnpermasquelchClick(); });
    item(menus.addtosafe, QStringLiteral("Add to Safelist"), [this] { addtosafeClick(); });
    item(menus.remfromsafe, QStringLiteral("Remove from Safelist"), [this] { remfromsafeClick(); });
    menus.userMenu->addSeparator();
    item(menus.Squelch, QStringLiteral("Squelch"), [this] { SquelchClick(); });
    item(menus.Unsquelch, QStringLiteral("Unsquelch"), [this] { UnsquelchClick(); });
    item(menus.Whois, QStringLiteral("Whois"), [this] { WhoisClick(); });
    item(menus.Stats, QStringLiteral("Starcraft Stats"), [this] { StatsClick(); });
    item(menus.BroodwarStats, QStringLiteral("Broodwar Stats"), [this] { BroodwarStatsClick(); });
    item(menus.WarcraftStats, QStringLiteral("Warcraft Stats"), [this] { WarcraftStatsClick(); });
    menus.userMenu->addSeparator();
    item(menus.usersCopyName, QStringLiteral("Copy Name"), [this] { usersCopyNameClick(); });
    item(menus.mWhisper, QStringLiteral("Whisper"), [this] { mWhisperClick(); });
    menus.userMenu->setDefaultAction(menus.Permasquelch);
    // However the menu opens, its items follow the selected member.
    connect(menus.userMenu, &QMenu::aboutToShow, this, guard([this] { userMenuPopup(); }));

    users->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(users, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        menus.userMenu->popup(users->viewport()->mapToGlobal(pos));
    });
    connect(users, &QTreeWidget::itemDoubleClicked, this, guard([this] { usersDblClick(); }));
    users->installEventFilter(new TUsersKeyFilter(this, [this](int key, Qt::KeyboardModifiers m) {
        guardedCall([&] { usersKeyDown(key, m); });
    }));
}

bool Tmain::selectedUser(QString &name)
{
    // A rebuild still waiting would change what is selected.
    flushUsers();
    const QList<QTreeWidgetItem *> sel = users->selectedItems();
    if (sel.isEmpty())
        return false;
    name = TTextItem::bytesOf(sel.first());
    return true;
}

int Tmain::selectedUserIcon() const
{
    const QList<QTreeWidgetItem *> sel = users->selectedItems();
    return sel.isEmpty() ? 0 : sel.first()->data(0, TUserRow::iconRole).toInt();
}

void Tmain::userMenuPopup()
{
    const QList<QAction *> all = {menus.Permasquelch,  menus.Unpermasquelch, menus.addtosafe,
                                  menus.remfromsafe,   menus.Squelch,        menus.Unsquelch,
                                  menus.Whois,         menus.Stats,          menus.BroodwarStats,
                                  menus.WarcraftStats, menus.usersCopyName,  menus.mWhisper,
                                  menus.usersHistory};
    for (QAction *a : all)
        a->setEnabled(false);
    QString name;
    if (!selectedUser(name))
        return;
    for (QAction *a :
         {menus.Whois, menus.Stats, menus.Squelch, menus.Unsquelch, menus.BroodwarStats,
          menus.WarcraftStats, menus.usersCopyName, menus.mWhisper, menus.usersHistory})
        a->setEnabled(true);
    (checkSafe(name) ? menus.remfromsafe : menus.addtosafe)->setEnabled(true);
    (checkSquelch(name) ? menus.Unpermasquelch : menus.Permasquelch)->setEnabled(true);
}

void Tmain::userAction(const std::function<void(const QString &)> &action)
{
    QString name;
    if (selectedUser(name))
        action(name);
    text->setFocus();
}

void Tmain::PermasquelchClick()
{
    userAction(
        [this](const QString &name) { squelchuser(name, manualReason, selectedUserIcon()); });
}

void Tmain::UnpermasquelchClick()
{
    userAction([this](const QString &name) { unSquelchUser(name); });
}

void Tmain::SquelchClick()
{
    userAction([this](const QString &name) {
        journalDesk->sendJournalled(QStringLiteral("/squelch ") + name, journal::squelchAction,
                                    name, journal::manualReason);
    });
}

void Tmain::UnsquelchClick()
{
    userAction([this](const QString &name) {
        journalDesk->sendJournalled(QStringLiteral("/unsquelch ") + name, journal::unsquelchAction,
                                    name, journal::manualReason);
    });
}

void Tmain::WhoisClick()
{
    userAction([this](const QString &name) { sendtext(QStringLiteral("/whois ") + name); });
}

void Tmain::StatsClick()
{
    userAction([this](const QString &name) {
        sendtext(QStringLiteral("/stats ") + name + QStringLiteral(" STAR"));
    });
}

void Tmain::BroodwarStatsClick()
{
    userAction([this](const QString &name) {
        sendtext(QStringLiteral("/stats ") + name + QStringLiteral(" SEXP"));
    });
}

void Tmain::WarcraftStatsClick()
{
    userAction([this](const QString &name) {
        sendtext(QStringLiteral("/stats ") + name + QStringLiteral(" W2BN"));
    });
}

void Tmain::usersCopyNameClick()
{
    userAction(
        [](const QString &name) { QApplication::clipboard()->setText(TText::decode(name)); });
}

void Tmain::mWhisperClick()
{
    userAction([this](const QString &name) {
        setInputBytes({QStringLiteral("/whisper ") + name + QLatin1Char(' ')});
    });
}

void Tmain::addtosafeClick()
{
    userAction([this](const QString &name) {
        options->insertSafeName(name);
        options->writeconfig();
        updateUsers();
    });
}

void Tmain::remfromsafeClick()
{
    userAction([this](const QString &name) {
        options->removeSafeName(name);
        options->writeconfig();
        updateUsers();
    });
}

void Tmain::usersDblClick()
{
    userAction([this](const QString &name) {
        switch (store->number(TSetting::dblClickAction)) {
        case 0:
            if (checkSquelch(name))
                unSquelchUser(name);
            else
                squelchuser(name, manualReason, selectedUserIcon());
            break;
        case 1: {
            const int id = session->getUserID(name);
            const bool squelched = id && session->userTable[id].squelched;
            journalDesk->sendJournalled(
                (squelched ? QStringLiteral("/unsquelch ") : QStringLiteral("/squelch ")) + name,
                squelched ? journal::unsquelchAction : journal::squelchAction, name,
                journal::manualReason);
            break;
        }
        default:
            QApplication::clipboard()->setText(TText::decode(name));
            break;
        }
    });
}

QString Tmain::userInformation(const QString &name) const
{
    const int id = session->getUserID(name);
    if (id == 0)
        return QStringLiteral("user not found");
    const tChannelUser &u = session->userTable[id];
    using TText::decode;
    const QStringList lines = {
        QStringLiteral("Username: ") + decode(u.username),
        QStringLiteral("Product: ") + decode(u.product),
        QStringLiteral("Flags: ") + decode(u.flags),
        QStringLiteral("FirstLine: ") + decode(u.firstLine),
        QStringLiteral("SecondLine: ") + decode(u.secondLine),
        QStringLiteral("ThirdLine: ") + decode(u.thirdLine),
        QStringLiteral("JoinTime: ") + longTimeText(u.joinTime.time()),
        QStringLiteral("Squelched: ") +
            (u.squelched ? QStringLiteral("True") : QStringLiteral("False")),
    };
    return lines.join(QStringLiteral("\r\n"));
}

void Tmain::usersKeyDown(int key, Qt::KeyboardModifiers shift)
{
    if (!(shift & Qt::AltModifier))
        return;
    switch (key) {
    case Qt::Key_I:
        userAction([this](const QString &name) {
            dialogs().showInfo(this, QStringLiteral("Tressel"), userInformation(name));
        });
        break;
    case Qt::Key_N:
        userAction([this](const QString &name) { appendInputBytes(name + QLatin1Char(' ')); });
        break;
    case Qt::Key_W:
        userAction([this](const QString &name) { whisperInput(name); });
        break;
    case Qt::Key_S:
        addtosafeClick();
        break;
    default:
        break;
    }
}
