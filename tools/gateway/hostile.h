#pragma once
// Behaviours of a server that misbehaves, for testing how a client copes:
// chosen with --hostile MODE, applied to every connection.
#include <QByteArray>
#include <QList>

class GatewayConnection;

namespace hostile {

// The modes: "close-at-connect" (closes as soon as a client connects),
// "close-in-login" (sends the banner, then closes before the login is
// read), "close-mid-line" (logs in, sends half an event line and closes).
QList<QByteArray> modes();
bool isMode(const QByteArray &mode);

// Each returns true when the mode has taken the connection over (closed
// it); the normal course then stops.
bool atConnect(const QByteArray &mode, GatewayConnection *conn);
bool atLoginStart(const QByteArray &mode, GatewayConnection *conn);
bool afterLogin(const QByteArray &mode, GatewayConnection *conn);

} // namespace hostile
