// The channel user list: the member table, its events and the `users` rows.
#include "base/wirecodes.h"
#include "core/settingsstore.h"
#include "mainwindow/Tmain.h"
#include "mainwindow/historydesk.h"
#include "mainwindow/labels.h"

#include "base/clock.h"
#include "core/textcodec.h"
#include "interpreter/TBnetChat.h"
#include "mainwindow/moderationdesk.h"
#include "preferences/Toptions.h"
#include "rules/moderation.h"
#include "rules/usericons.h"
#include "session/TSession.h"
#include "widgets/dialogs.h"
#include "widgets/framepacer.h"
#include "widgets/textitems.h"
#include "widgets/userlistview.h"

#include <QLineEdit>
#include <QScrollBar>
#include <QTreeWidget>

namespace {
constexpr int flagsLength = 4;

bool isAuthor(const QString &name)
{
    return name == QLatin1String("Kelm") || name == QLatin1String("Tressel");
}
} // namespace

void Tmain::setupUserList()
{
    users->setItemDelegate(new TUserListDelegate(users));
    users->setUniformRowHeights(true);
    users->setTextElideMode(Qt::ElideRight);
    keepSelectionVisible(users);
    fillScrollBarBackgrounds(users);
    // Anyone else emptying the list (a disconnect) also ends a rebuild that
    // is still waiting, so it cannot bring old rows or captions back.
    auto *state = new TUsersRebuildState(users->model());
    m_usersRebuild = state;
    state->pacer = new TFramePacer(
        [this] {
            if (m_usersRebuild->pending)
                guardedCall([this] { rebuildUsers(); });
        },
        state);
    connect(users->model(), &QAbstractItemModel::modelReset, state, [state] {
        if (!state->rebuilding)
            state->pending = false;
    });

    setupSquelchList();
    setupUserListActions();
}

void Tmain::userNotFound()
{
    // Not from inside the socket's read handler, and never twice at once.
    if (m_userNotFoundPending)
        return;
    m_userNotFoundPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            guardedCall([this] {
                dialogs().showInfo(this, QStringLiteral("Tressel"),
                                   QStringLiteral("user not found"));
            });
            m_userNotFoundPending = false;
        },
        Qt::QueuedConnection);
}

void Tmain::updateUsers()
{
    // Old histories are emptied now, in event order: the next line, even one
    // from the same read, is judged against what this update left. Only the
    // rows wait: a burst of joins asks for many rebuilds, and one per pass
    // of the event loop, and at most one per display frame, shows the same.
    session->expireHistories();
    if (m_usersRebuild->pending)
        return;
    m_usersRebuild->pending = true;
    m_usersRebuild->pacer->request();
}

void Tmain::flushUsers()
{
    if (m_usersRebuild->pending)
        rebuildUsers();
}

void Tmain::rebuildUsers()
{
    m_usersRebuild->pending = false;
    // The selection stays on the entry the user chose, wherever it now
    // stands; once that member has left, nothing is selected, so that no
    // action goes to whoever took its place.
    quint64 selected = 0;
    const QList<QTreeWidgetItem *> sel = users->selectedItems();
    if (!sel.isEmpty())
        selected = sel.first()->data(0, TUserRow::entryRole).toULongLong();
    const int scroll = users->verticalScrollBar()->value();
    m_usersRebuild->rebuilding = true;
    users->clear();
    m_usersRebuild->rebuilding = false;

    const int count = session->usedUsers();
    QList<QTreeWidgetItem *> rows;
    rows.reserve(count);
    QTreeWidgetItem *reselect = nullptr;
    for (int i = 1; i <= count; ++i) {
        tChannelUser &u = session->userTable[i];
        auto *row = new TMemberRow;
        TTextItem::setBytes(row, 0, u.username);
        const bool squelched = checkSquelch(u.username);
        const bool lamerHidden = !squelched && checkLamerMode(u.username);
        const int icon = squelched || lamerHidden ? TUserIcon::squelched : userIcon(i);
        const bool safe = checkSafe(u.username);
        int state = TUserRow::noState;
        if (safe)
            state = 0;
        if (squelched)
            state = 1;
        if (isAuthor(u.username))
            state = 2;
        row->setData(0, TUserRow::iconRole, icon);
        row->setData(0, TUserRow::stateRole, state);
        row->setData(0, TUserRow::entryRole, u.serial);
        if (selected != 0 && u.serial == selected)
            reselect = row;
        // What the row says in words when asked (TMemberRow).
        row->product = u.product;
        row->flags = u.flags;
        row->permasquelched = squelched;
        row->lamerHidden = lamerHidden;
        row->safelisted = safe;
        rows.append(row);
    }
    users->addTopLevelItems(rows);
    if (reselect)
        users->setCurrentItem(reselect);
    users->verticalScrollBar()->setValue(scroll);
    channel->setText(TText::decode(envVars.channelName) + QStringLiteral(" (") +
                     QString::number(session->userCount) + QLatin1Char(')'));
}

void Tmain::setUserIcon(const QString &name, int icon)
{
    for (int i = 0; i < users->topLevelItemCount(); ++i) {
        QTreeWidgetItem *row = users->topLevelItem(i);
        if (TTextItem::bytesOf(row) == name) {
            row->setData(0, TUserRow::iconRole, icon);
            return;
        }
    }
}

int Tmain::userIcon(int index)
{
    if (index < 1 || index > session->usedUsers())
        return TUserIcon::chat;
    tChannelUser &u = session->userTable[index];
    return flagsIcon(u.product, u.flags, u.squelched);
}

int Tmain::memberIcon(const QString &name) const
{
    const int id = session->getUserID(name);
    return id ? productIcon(session->userTable[id].product) : TUserIcon::unknown;
}

void Tmain::processShowUser(const QString &user, const QString &flags, const QString &userType)
{
    session->addUser(user, userType, flags);
    moderationDesk->actOn(user, moderationDesk->moderate(moderation::TLine::Kind::ShowUser, user,
                                                         QString(), flags, userType));
    updateUsers();
}

void Tmain::processJoin(const QString &user, const QString &flags, const QString &userType)
{
    session->addUser(user, userType, flags);
    const moderation::TVerdict v =
        moderationDesk->moderate(moderation::TLine::Kind::Join, user, QString(), flags, userType);
    moderationDesk->actOn(user, v);
    updateUsers();
    if (v.show)
        writeLine(chat, TLabel::info, user + QStringLiteral(" joined the channel."), labelColour());
}

void Tmain::processLeave(const QString &user, const QString &flags, const QString &userType)
{
    if (!session->delUser(user))
        userNotFound();
    updateUsers();
    if (moderationDesk->moderate(moderation::TLine::Kind::Leave, user, QString(), flags, userType)
            .show)
        writeLine(chat, TLabel::info, user + QStringLiteral(" left the channel."), labelColour());
}

void Tmain::processUserFlags(const QString &user, const QString &flags)
{
    const int id = session->getUserID(user);
    if (id == 0)
        return;
    session->userTable[id].flags = flags.left(flagsLength);
    updateUsers();
}

void Tmain::processChannel(const QString &text)
{
    // Read before this visit's first line is kept.
    const QVector<THistory::Line> earlier = historyDesk->earlierLinesOf(text);
    writeLine(chat, TLabel::info, QStringLiteral("Joined Channel ") + text, labelColour());
    historyDesk->showEarlierLines(text, earlier);
    envVars.channelName = text;
    session->userCount = 0;
    session->userTable.clear();
}

void Tmain::processUniqueName(const QString &user)
{
    m_uniqueName = user;
    this->text->setFocus();
    const QString back = session->returnChannel();
    if (!back.isEmpty()) {
        sendtext(QStringLiteral("/join ") + back);
        return;
    }
    // Last: a home channel its encoding cannot hold raises an error.
    const QString home = store->bytes(TSetting::homechannel);
    if (!home.isEmpty())
        sendtext(QStringLiteral("/join ") + home);
}
