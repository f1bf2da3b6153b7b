#include "connection/proxychoice.h"

#include <QHostAddress>
#include <QStringList>
#include <QUrl>

namespace TProxy {

namespace {
QString bare(QString host)
{
    host = host.trimmed();
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    while (host.endsWith(QLatin1Char('.')))
        host.chop(1);
    return host.toLower();
}

// One no_proxy entry without a port; brackets around an address go too.
QString entryHost(QString entry)
{
    entry = entry.trimmed();
    if (entry.startsWith(QLatin1Char('['))) {
        const qsizetype close = entry.indexOf(QLatin1Char(']'));
        return close > 0 ? entry.mid(1, close - 1) : entry;
    }
    // host:port, but an IPv6 address (more than one colon) stands whole.
    if (entry.count(QLatin1Char(':')) == 1)
        entry = entry.left(entry.indexOf(QLatin1Char(':')));
    return entry;
}
} // namespace

bool bypassed(const QString &noProxy, const QString &targetHost)
{
    const QString host = bare(targetHost);
    const QHostAddress address(host);
    const QStringList entries = noProxy.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString &raw : entries) {
        QString entry = entryHost(raw).toLower();
        if (entry.isEmpty())
            continue;
        if (entry == QLatin1String("*"))
            return true;
        if (!address.isNull()) {
            if (entry.contains(QLatin1Char('/'))) {
                const auto subnet = QHostAddress::parseSubnet(entry);
                if (!subnet.first.isNull() && address.isInSubnet(subnet))
                    return true;
            } else if (QHostAddress(entry) == address) {
                return true;
            }
            continue;
        }
        while (entry.startsWith(QLatin1Char('.')) || entry.startsWith(QLatin1Char('*')))
            entry.remove(0, 1);
        while (entry.endsWith(QLatin1Char('.')))
            entry.chop(1);
        if (entry.isEmpty())
            continue;
        if (host == entry || host.endsWith(QLatin1Char('.') + entry))
            return true;
    }
    return false;
}

QNetworkProxy fromEnvironment(const QString &targetHost, const QProcessEnvironment &env,
                              QString *problem)
{
    QString name;
    QString value;
    for (const char *variable : {"all_proxy", "ALL_PROXY", "http_proxy", "HTTP_PROXY"}) {
        const QString v = env.value(QLatin1String(variable)).trimmed();
        if (!v.isEmpty()) {
            name = QLatin1String(variable);
            value = v;
            break;
        }
    }
    if (value.isEmpty())
        return QNetworkProxy(QNetworkProxy::NoProxy);
    const QString noProxy = env.contains(QStringLiteral("no_proxy"))
                                ? env.value(QStringLiteral("no_proxy"))
                                : env.value(QStringLiteral("NO_PROXY"));
    if (bypassed(noProxy, targetHost))
        return QNetworkProxy(QNetworkProxy::NoProxy);

    // A value without a scheme is taken as an HTTP proxy, as curl does.
    const QUrl url = QUrl::fromUserInput(
        value.contains(QLatin1String("://")) ? value : QStringLiteral("http://") + value);
    const QString scheme = url.scheme().toLower();
    QNetworkProxy proxy;
    int defaultPort = 0;
    if (scheme == QLatin1String("socks5") || scheme == QLatin1String("socks5h") ||
        scheme == QLatin1String("socks")) {
        proxy.setType(QNetworkProxy::Socks5Proxy);
        defaultPort = 1080;
    } else if (scheme == QLatin1String("http")) {
        proxy.setType(QNetworkProxy::HttpProxy);
        defaultPort = 80;
    } else {
        *problem = QStringLiteral("%1 names a %2 proxy ('%3'); only SOCKS5 and HTTP proxies "
                                  "can carry the chat link.")
                       .arg(name, scheme, value);
        return QNetworkProxy(QNetworkProxy::NoProxy);
    }
    if (!url.isValid() || url.host().isEmpty()) {
        *problem = QStringLiteral("%1 ('%2') names no proxy host.").arg(name, value);
        return QNetworkProxy(QNetworkProxy::NoProxy);
    }
    proxy.setHostName(url.host());
    proxy.setPort(quint16(url.port(defaultPort)));
    proxy.setUser(url.userName());
    proxy.setPassword(url.password());
    return proxy;
}

QNetworkProxy resolve(const TProxyChoice &choice, const QString &targetHost,
                      const QProcessEnvironment &env, QString *problem)
{
    switch (choice.kind) {
    case TProxyChoice::None:
        break;
    case TProxyChoice::Environment:
        return fromEnvironment(targetHost, env, problem);
    case TProxyChoice::Socks5:
    case TProxyChoice::HttpConnect: {
        const QString host = choice.host.trimmed();
        if (host.isEmpty() || choice.port == 0) {
            *problem = QStringLiteral("The proxy setting names no host and port (Advanced tab "
                                      "of Preferences).");
            break;
        }
        QNetworkProxy proxy(choice.kind == TProxyChoice::Socks5 ? QNetworkProxy::Socks5Proxy
                                                                : QNetworkProxy::HttpProxy,
                            bare(host), choice.port);
        // Without a user there is no authentication, whatever the password.
        if (choice.kind == TProxyChoice::Socks5 && !choice.user.isEmpty()) {
            proxy.setUser(choice.user);
            proxy.setPassword(choice.password);
        }
        return proxy;
    }
    }
    return QNetworkProxy(QNetworkProxy::NoProxy);
}

QString describe(const QNetworkProxy &proxy)
{
    QString kind;
    switch (proxy.type()) {
    case QNetworkProxy::Socks5Proxy:
        kind = QStringLiteral("SOCKS5");
        break;
    case QNetworkProxy::HttpProxy:
        kind = QStringLiteral("HTTP");
        break;
    default:
        return QString();
    }
    QString host = proxy.hostName();
    if (host.contains(QLatin1Char(':')))
        host = QLatin1Char('[') + host + QLatin1Char(']');
    return QStringLiteral("%1 proxy %2:%3").arg(kind, host).arg(proxy.port());
}

} // namespace TProxy
