// The members of the channel the session is in: the table the user list is
// drawn from and the flood histories the automatic squelch reads.
#include "base/clock.h"
#include "base/wirecodes.h"
#include "core/settingsstore.h"
#include "session/TSession.h"

namespace {
constexpr int nameLength = Wire::NameLength;
constexpr int productLength = 4;
constexpr int flagsLength = 4;
constexpr int lineLength = 255;
} // namespace

int TSession::usedUsers() const { return qBound(0, userCount, userTable.count()); }

int TSession::getUserID(const QString &name) const
{
    const int used = usedUsers();
    const int id = userTable.lastIndexOf(name);
    if (id <= used)
        return id;
    // Entries past userCount do not count: the last one in use, if any.
    for (int i = used; i >= 1; --i)
        if (userTable[i].username == name)
            return i;
    return 0;
}

void TSession::addUser(const QString &name, const QString &product, const QString &flags)
{
    // Entries past userCount are left over from before a channel change.
    while (userTable.count() > qMax(0, userCount))
        userTable.removeAt(userTable.count());
    tChannelUser user;
    user.username = name.left(nameLength);
    user.product = product.left(productLength);
    user.flags = flags.left(flagsLength);
    user.joinTime = currentDateTime();
    user.squelched = startsSquelched && startsSquelched(name);
    userTable.append(std::move(user));
    userCount = userTable.count();
}

bool TSession::delUser(const QString &name)
{
    // When every entry is in use the table removes by name itself, without
    // a pass over the entries.
    bool removed = false;
    if (usedUsers() == userTable.count()) {
        removed = userTable.removeLast(name);
    } else if (const int id = getUserID(name)) {
        userTable.removeAt(id);
        removed = true;
    }
    if (removed)
        userCount = qMin(userCount, userTable.count());
    return removed;
}

void TSession::modUser(const QString &name, const QString &line)
{
    const int id = getUserID(name);
    if (id == 0)
        return;
    tChannelUser &u = userTable[id];
    u.firstLine = u.secondLine;
    u.secondLine = u.thirdLine;
    u.thirdLine = line.left(lineLength);
    u.lastLineTime = currentDateTime();
    if (!m_oldestHistory.isValid() || u.lastLineTime < m_oldestHistory)
        m_oldestHistory = u.lastLineTime;
}

void TSession::expireHistories()
{
    // No history held is older than m_oldestHistory: while that one has not
    // expired, none has, and the table is not read (a burst of joins costs
    // nothing here).
    if (!m_oldestHistory.isValid())
        return;
    const QDateTime now = currentDateTime();
    const qint64 historyMsecs = qint64(store()->number(TSetting::HistoryDelay)) * 1000;
    if (m_oldestHistory.msecsTo(now) <= historyMsecs)
        return;
    QDateTime oldest;
    for (int i = 1, count = usedUsers(); i <= count; ++i) {
        tChannelUser &u = userTable[i];
        if (!u.lastLineTime.isValid())
            continue;
        if (u.lastLineTime.msecsTo(now) > historyMsecs) {
            u.firstLine.clear();
            u.secondLine.clear();
            u.thirdLine.clear();
        } else if ((!u.firstLine.isEmpty() || !u.secondLine.isEmpty() || !u.thirdLine.isEmpty()) &&
                   (!oldest.isValid() || u.lastLineTime < oldest)) {
            oldest = u.lastLineTime;
        }
    }
    m_oldestHistory = oldest;
}
