#pragma once
// Which proxy a link goes through: none, the one the environment names
// (all_proxy, ALL_PROXY, then http_proxy, HTTP_PROXY; no_proxy honoured),
// or a SOCKS5 or HTTP CONNECT proxy the user gave.
#include <QNetworkProxy>
#include <QProcessEnvironment>
#include <QString>

struct TProxyChoice {
    enum Kind { None, Environment, Socks5, HttpConnect };
    Kind kind = None;
    QString host;
    quint16 port = 0;
    QString user;     // SOCKS5 only; empty: no authentication
    QString password; // SOCKS5 only
};

namespace TProxy {

// The proxy a link to targetHost takes. A choice that cannot be used (no
// host, a malformed or unsupported environment value) gives std::nullopt
// semantics through *problem: the returned proxy is then NoProxy and
// *problem says why in words; the caller must not connect.
QNetworkProxy resolve(const TProxyChoice &choice, const QString &targetHost,
                      const QProcessEnvironment &env, QString *problem);

// The environment's proxy for targetHost: NoProxy when none is set or
// no_proxy names the host. *problem is set for a value that cannot be used.
QNetworkProxy fromEnvironment(const QString &targetHost, const QProcessEnvironment &env,
                              QString *problem);

// Whether a no_proxy list names the host (names match themselves and their
// subdomains, "*" matches all, addresses match exactly or by a /prefix).
bool bypassed(const QString &noProxy, const QString &targetHost);

// "SOCKS5 proxy host:port" or "HTTP proxy host:port"; empty for none.
QString describe(const QNetworkProxy &proxy);

} // namespace TProxy
