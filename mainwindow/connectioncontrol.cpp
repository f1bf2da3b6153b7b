// Connecting and disconnecting, the main menu's actions, the main timer.
#include "base/version.h"
#include "base/wirecodes.h"
#include "core/settingsstore.h"
#include "mainwindow/Tmain.h"
#include "mainwindow/journalwindow.h"
#include "mainwindow/labels.h"

#include "base/files.h"
#include "base/guard.h"
#include "connection/TChatInterface.h"
#include "core/textcodec.h"
#include "interpreter/TBnetChat.h"
#include "mainwindow/journal.h"
#include "preferences/Toptions.h"
#include "resources/icons.h"
#include "rules/layout.h"
#include "session/TSession.h"
#include "widgets/TTranscriptView.h"
#include "widgets/dialogs.h"
#include "widgets/menubarstyle.h"
#include "widgets/textitems.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <cmath>

namespace {
constexpr int antiIdleTicks = 600;
constexpr qint64 tickMs = 1000;
} // namespace

void Tmain::setConnectedState(bool connected)
{
    menus.Connect->setEnabled(!connected);
    // While a reconnect is pending, Disconnect ends it; while a connect is
    // under way, it cancels that.
    menus.Disconnect->setEnabled(connected || session->reconnecting() || session->connecting());
    showConnectProgress(session->progressText());
    menus.Home->setEnabled(connected);
    menus.PauseChat->setEnabled(connected);
    menus.Away->setEnabled(connected);
    if (options)
        options->setConnected(connected);
    if (TJournalWindow *journal = journalDesk->journalWindow())
        journal->refreshState(); // undo of a squelch needs the connection
}

void Tmain::showConnectProgress(const QString &text)
{
    // A line over the top of the transcript while a connect is under way:
    // the window's layout stays as it is.
    if (text.isEmpty()) {
        if (m_connectStatus)
            m_connectStatus->hide();
        return;
    }
    if (!m_connectStatus) {
        m_connectStatus = new QLabel(chat->widget());
        m_connectStatus->setObjectName(QStringLiteral("connectStatus"));
        m_connectStatus->setAutoFillBackground(true);
        m_connectStatus->setMargin(2);
        m_connectStatus->setFrameShape(QFrame::StyledPanel);
    }
    m_connectStatus->setText(text);
    m_connectStatus->setAccessibleName(text);
    m_connectStatus->adjustSize();
    m_connectStatus->move(4, 4);
    m_connectStatus->show();
    m_connectStatus->raise();
}

void Tmain::ConnectClick() { session->connectNow(); }

void Tmain::DisconnectClick() { session->disconnectNow(); }

void Tmain::processRefused(const QString &line, int waitMs)
{
    // The server's own error line is already in the transcript; this says
    // what becomes of the line, so that nobody types it again.
    QString message;
    if (waitMs >= 0) {
        const double seconds = std::ceil(waitMs / 100.0) / 10.0;
        message =
            QStringLiteral("The server's flood quota refused a line; it will be sent again in ") +
            QString::number(seconds, 'g', 4) + QStringLiteral(" seconds.");
    } else {
        QString text = line;
        while (text.endsWith(QLatin1Char('\r')) || text.endsWith(QLatin1Char('\n')))
            text.chop(1);
        message = QStringLiteral("The server's flood quota will not take this line, so it was not "
                                 "sent again: ") +
                  TText::decode(text);
    }
    writeLine(chat, QStringLiteral("Warning:"), message, errorColour());
}

void Tmain::PreferencesClick()
{
    if (options->isVisible()) {
        options->raise();
        options->activateWindow();
        return;
    }
    options->show();
}

void Tmain::AwayClick()
{
    if (envVars.isAway) {
        sendtext(QStringLiteral("/away"));
        envVars.isAway = false;
        menus.Away->setIcon(TIcons::menuIcon(TIcons::AwayImage));
    } else {
        envVars.awaySent = store->bytes(TSetting::awaymessage);
        sendtext(QStringLiteral("/away ") + envVars.awaySent);
        envVars.isAway = true;
        menus.Away->setIcon(TIcons::menuIcon(TIcons::BackImage));
    }
}

void Tmain::HomeClick()
{
    const QString home = store->bytes(TSetting::homechannel);
    if (!home.isEmpty())
        sendtext(QStringLiteral("/join ") + home);
}

void Tmain::QuitClick()
{
    if (FormCloseQuery()) {
        session->endReconnect(QString());
        terminate();
    }
}

bool Tmain::FormCloseQuery()
{
    if (store->flag(TSetting::confirmquit))
        return true;
    return dialogs().confirm(this, QStringLiteral("Confirm"),
                             QStringLiteral("Are you sure you wish to quit?"),
                             TDialogs::Buttons::OkCancel);
}

void Tmain::closeEvent(QCloseEvent *event)
{
    bool quit = false;
    guardedCall([&] { quit = FormCloseQuery(); });
    if (!quit) {
        event->ignore();
        return;
    }
    event->accept();
    session->endReconnect(QString());
    options->hide();
    terminate();
}

void Tmain::bnetConnect()
{
    // The session sends the login next.
    writeLine(chat, TLabel::console,
              QStringLiteral("Connecting to ") + TTextItem::ownText(session->bnet->Address) +
                  QStringLiteral("..."),
              labelColour());
    setConnectedState(true);
}

void Tmain::bnetDisconnect()
{
    writeLine(chat, TLabel::console, QStringLiteral("Disconnected."), labelColour());
    users->clear();
    session->userCount = 0;
    channel->setText(QStringLiteral("Tressel " TRESSEL_VERSION));
    setConnectedState(false);
}

void Tmain::bnetLogin()
{
    writeLine(chat, TLabel::console, QStringLiteral("Logging In..."), labelColour());
    // Back after a lost link: the channel the user was in instead of the
    // home channel, and the away state the server forgot.
    const QString back = session->returnChannel();
    if (!back.isEmpty())
        sendtext(QStringLiteral("/join ") + back);
    else
        HomeClick();
    if (session->returning() && envVars.isAway)
        sendtext(QStringLiteral("/away ") + envVars.awaySent);
}

void Tmain::bnetSocketError(const QString &why)
{
    // A connect that failed goes on to the session's reconnecting.
    const QColor label = labelColour();
    writeLine(chat, TLabel::consoleBlank, QStringLiteral("A socket error occured."), label);
    if (!why.isEmpty())
        writeLine(chat, TLabel::consoleBlank, TTextItem::ownText(why), label);
}

void Tmain::bnetDataReceived(const QString &DataString)
{
    // The session has handed the line to the interpreter already.
    // The raw line is one byte string: it is shown decoded as a whole.
    if (menus.dispRaw->isChecked())
        whisper->appendPlainLine(TText::decode(DataString));
    if (store->flag(TSetting::keeprawlog))
        appendRawLog(DataString);
}

void Tmain::appendRawLog(const QString &line)
{
    const QString name = store->shown(TSetting::rawlogfilename);
    if (name.isEmpty()) {
        logNotSet(m_rawLogWarned, QStringLiteral("raw log"));
        return;
    }
    appendLog(name, QStringLiteral("Raw"), line);
}

void Tmain::runDueTicks()
{
    const qint64 due = (clockMs() - timerOriginMs) / tickMs;
    // After the window's thread was held up for longer than the anti-idle
    // period, the ticks missed are not all run: like a repeating timer, it
    // goes on from now, and sends at most one anti-idle command for them.
    ticksRun = std::max(ticksRun, due - (antiIdleTicks + 2));
    while (ticksRun < due) {
        ++ticksRun;
        timerTimer();
    }
    // A tick between only counts towards the anti-idle point.
    const qint64 ahead =
        envVars.chatPaused ? 1 : std::max<qint64>(1, antiIdleTicks + 2 - envVars.idleTicks);
    timer->start(int(std::max<qint64>(0, timerOriginMs + (ticksRun + ahead) * tickMs - clockMs())));
}

void Tmain::timerTimer()
{
    if (envVars.chatPaused)
        setWindowTitle(windowTitle() == TLabel::mainCaption ? TLabel::pausedCaption
                                                            : TLabel::mainCaption);
    if (envVars.idleTicks <= antiIdleTicks) {
        ++envVars.idleTicks;
        return;
    }
    envVars.idleTicks = 0;
    if (!store->flag(TSetting::antiidle))
        return;
    const int command = store->number(TSetting::idletype);
    if (command == 1)
        sendtext(QStringLiteral("/users"));
    if (command == 3)
        sendtext(QStringLiteral("/time"));
    if (command == 2)
        sendtext(QStringLiteral("/stats ") + store->bytes(TSetting::username) +
                 QStringLiteral(" SEXP"));
}
