#pragma once
// What the hostile-server tests share: waiting for transcript lines, the
// settings, the check that the window is still usable, gateway scripts.
#include "support/connectedwindow.h"
#include "support/gatewayprocess.h"
#include "support/mainwindowfixture.h"

#include "connection/TChatInterface.h"
#include "interpreter/TBnetChat.h"
#include "session/TSession.h"

#include <QAction>
#include <QLineEdit>
#include <QTemporaryFile>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

inline constexpr int waitMs = 120000; // the sanitizer build is slow with the big streams

// Waits for a line of the chat pane from line `from` on that meets want;
// each line is looked at once, so waiting stays cheap while thousands come.
inline bool chatHas(Tmain &m, const std::function<bool(const QString &)> &want, int from = 0,
                    int ms = waitMs)
{
    int next = from;
    return tickPacingUntil(
        m,
        [&] {
            for (const int n = m.chat->lineCount(); next < n; ++next)
                if (want(m.chat->lineText(next)))
                    return true;
            return false;
        },
        ms);
}

inline bool chatHasLine(Tmain &m, const QString &line, int from = 0)
{
    return chatHas(
        m, [&](const QString &l) { return l == line; }, from);
}

inline int countLines(Tmain &m, const QString &line)
{
    return int(MainWindowFixture::lines(m.chat).count(line));
}

inline void type(Tmain &m, const QString &line)
{
    m.text->setText(line);
    m.sendClick();
}

inline const QString noMail = QStringLiteral(" <alice> You have no mail.");
inline const QString disconnected = QStringLiteral(" Console: Disconnected.");

inline bool connectTo(Tmain &m, quint16 port)
{
    return connectToGateway(m, port, QStringLiteral("alice"), waitMs);
}

// The settings of a test: always the local gateway, never a host lookup.
inline QStringList conf(const QStringList &more = {})
{
    return QStringList{"username=alice", "server=127.0.0.1"} + more;
}

// The user can still talk to the server, disconnect, and log in again.
inline void checkUsable(Tmain &m, quint16 port)
{
    QVERIFY(m.session->bnet->Connected());
    const int asked = m.chat->lineCount();
    type(m, QStringLiteral("/users"));
    QVERIFY(chatHas(
        m,
        [](const QString &l) {
            return l.startsWith(QLatin1String(" Info: There are currently")) &&
                   l.contains(QLatin1String("users online"));
        },
        asked));
    const int from = m.chat->lineCount();
    m.DisconnectClick();
    QCOMPARE(m.chat->lineCount(), from + 1);
    QCOMPARE(m.chat->lineText(from), disconnected);
    QVERIFY(m.menus.Connect->isEnabled());
    QVERIFY(connectTo(m, port));
}

// A --script file for the gateway: raw lines sent after the login.
inline std::unique_ptr<QTemporaryFile> scriptFile(const QList<QByteArray> &lines)
{
    auto f = std::make_unique<QTemporaryFile>();
    if (!f->open())
        return nullptr;
    for (const QByteArray &l : lines)
        f->write(l + "\r\n");
    f->flush();
    return f;
}

inline const QByteArray afterMarker = "1018 INFO \"after the storm\"";
inline const QString afterLine = QStringLiteral(" Info: after the storm");

// A window logged in to a gateway that plays lines (CR LF added to each)
// and then the after-the-storm marker, once the marker has been shown.
struct Storm {
    explicit Storm(QList<QByteArray> lines, const QStringList &moreConf = {})
        : script(scriptFile(lines << afterMarker)),
          gateway({QStringLiteral("--no-flood-quota"), QStringLiteral("--script"),
                   script ? script->fileName() : QString()}),
          f(conf(moreConf)), m(*f.main)
    {
    }
    // The gateway ran, the window logged in and the marker came after the
    // lines (on failure, why is in the warnings or gateway.errorText()).
    bool over()
    {
        return script && gateway.port() && connectTo(m, gateway.port()) &&
               chatHasLine(m, afterLine);
    }
    std::unique_ptr<QTemporaryFile> script;
    GatewayProcess gateway;
    MainWindowFixture f;
    Tmain &m;
};
