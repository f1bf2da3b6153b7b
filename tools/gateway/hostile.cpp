#include "hostile.h"

#include "base/wirecodes.h"
#include "gatewayconnection.h"

#include <QTimer>

namespace hostile {

QList<QByteArray> modes() { return {"close-at-connect", "close-in-login", "close-mid-line"}; }

bool isMode(const QByteArray &mode) { return modes().contains(mode); }

bool atConnect(const QByteArray &mode, GatewayConnection *conn)
{
    if (mode != "close-at-connect")
        return false;
    // After the accept has returned, so the client sees its connect first.
    QTimer::singleShot(0, conn, [conn] { conn->close(); });
    return true;
}

bool atLoginStart(const QByteArray &mode, GatewayConnection *conn)
{
    if (mode != "close-in-login")
        return false;
    conn->write("Enter your account name and password.\r\nUsername: ");
    conn->close();
    return true;
}

bool afterLogin(const QByteArray &mode, GatewayConnection *conn)
{
    if (mode != "close-mid-line")
        return false;
    conn->write(QByteArray::number(Wire::Talk) + " TALK Swift 0010 \"this line never en");
    conn->close();
    return true;
}

} // namespace hostile
