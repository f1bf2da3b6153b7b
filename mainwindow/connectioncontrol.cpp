// Program window, layout, main menu, connection control and the main timer.
#include "mainwindow/Tmain.h"
#include "mainwindow/labels.h"
#include "base/wirecodes.h"
#include "base/version.h"

#include "widgets/dialogs.h"
#include "base/files.h"
#include "base/guard.h"
#include "connection/TChatInterface.h"
#include "interpreter/TBnetChat.h"
#include "widgets/TTranscriptView.h"
#include "rules/layout.h"
#include "rules/textcodec.h"
#include "widgets/textitems.h"
#include "widgets/menubarstyle.h"
#include "preferences/Toptions.h"
#include "resources/icons.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QTreeWidget>

#include <cmath>

namespace {
const QString mainCaption = QStringLiteral("Tressel [" TRESSEL_VERSION "]");
const QString pausedCaption = QStringLiteral("Tressel [" TRESSEL_VERSION "] -- PAUSED --");
const QString defaultHost = QStringLiteral("useast.battle.net");
constexpr int startWidth = 795;
constexpr int startHeight = 539;
constexpr int antiIdleTicks = 600;

QFont paneFont(int points)
{
    QFont f(QStringLiteral("MS Sans Serif"), points);
    f.setStyleHint(QFont::SansSerif); // where the family is missing
    return f;
}
} // namespace

Tmain::PaneFactory &Tmain::transcriptFactory()
{
    static PaneFactory factory = [](QWidget *parent) -> TTranscriptPane * {
        return new TTranscriptView(parent);
    };
    return factory;
}

void Tmain::guardedCall(const std::function<void()> &f)
{
    guarded(f);
}

Tmain::Tmain(QWidget *parent) : QMainWindow(parent)
{
    // exit(), not quit(): quit() first closes every window, and the main
    // window's close would ask "Are you sure you wish to quit?" once more.
    terminate = [] { QCoreApplication::exit(0); };
    setErrorDisplay(showErrorBox); // errors show as boxes from now on
    setWindowTitle(QStringLiteral("Tressel"));
    setFont(paneFont(8));
    createControls();
    createMenus();

    bnet = new TChatInterface(this);
    bnet->Address = defaultHost;
    bnet->Port = 6112;
    bnet->NoLineFeed = true;
    bnet->NoReturn = true;
    process = new TBnetChat(this);
    process->ChatInterface = bnet;
    process->setFloodInterval(Wire::FloodIntervalMs);
    process->OnRefused = [this](const QString &line, int waitMs) { processRefused(line, waitMs); };
    timer = new QTimer(this);
    timer->setInterval(1000);
    connect(timer, &QTimer::timeout, this, guard([this] { timerTimer(); }));
    wireEvents();
    // Behaviour areas set up their controls and events here:
    setupAutosquelch();
    setupMessageEvents();
    setupInputLine();
    setupUserList();

    resize(startWidth, startHeight);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    guardedCall([this] { FormCreate(); });
    startOptions();
    timer->start();
}

Tmain::~Tmain()
{
    // The connection's events must not reach a window half torn down.
    bnet->OnDisconnect = nullptr;
    bnet->OnConnectClosed = nullptr;
    bnet->OnDataReceived = nullptr;
}

void Tmain::createControls()
{
    auto *client = new QWidget(this);
    setCentralWidget(client);

    chat = transcriptFactory()(client);
    chat->widget()->setObjectName(QStringLiteral("chat"));
    chat->widget()->setFont(paneFont(8));
    whisper = transcriptFactory()(client);
    whisper->widget()->setObjectName(QStringLiteral("whisper"));
    whisper->widget()->setFont(paneFont(8));

    users = new QTreeWidget(client);
    users->setObjectName(QStringLiteral("users"));
    users->setColumnCount(1);
    users->setHeaderHidden(true);
    users->setRootIsDecorated(false);
    users->setIndentation(0);
    users->setEditTriggers(QAbstractItemView::NoEditTriggers);
    users->setSelectionMode(QAbstractItemView::SingleSelection);
    users->setIconSize(QSize(28, 14));
    users->setFont(paneFont(7));
    users->header()->setMinimumSectionSize(130);
    users->setColumnWidth(0, 130);

    brx = new QListWidget(client);
    brx->setObjectName(QStringLiteral("brx"));
    brx->setViewMode(QListView::ListMode);
    brx->setEditTriggers(QAbstractItemView::NoEditTriggers);
    brx->setIconSize(QSize(28, 14));
    brx->setFont(paneFont(7));

    text = new QLineEdit(client);
    text->setObjectName(QStringLiteral("text"));
    text->setFont(paneFont(8));

    send = new QPushButton(QStringLiteral("&Send"), client);
    send->setObjectName(QStringLiteral("send"));
    // The window's default button: Enter anywhere in the window clicks it
    // (keyPressEvent, input.cpp).
    send->setDefault(true);

    channel = new QLineEdit(client);
    channel->setObjectName(QStringLiteral("channel"));
    channel->setReadOnly(true);
    channel->setFont(paneFont(7));

    lamermode = new QPushButton(QStringLiteral("Activate Lamer Mode"), client);
    lamermode->setObjectName(QStringLiteral("lamermode"));
    lamermode->setToolTip(
        QStringLiteral("Activating this will suppress text from any user not on your safelist"));

    chatMenu = new QMenu(this);
    chatClear = chatMenu->addAction(QStringLiteral("Clear"));
    chatMenu->addSeparator();
    SaveAs1 = chatMenu->addAction(QStringLiteral("Save As"));
    Copy1 = chatMenu->addAction(QStringLiteral("Copy"));
    SelectAll1 = chatMenu->addAction(QStringLiteral("Select All"));
    chat->widget()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(chat->widget(), &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { chatMenu->popup(chat->widget()->mapToGlobal(pos)); });

    whisperMenu = new QMenu(this);
    dispWhisper = whisperMenu->addAction(QStringLiteral("Display whispers here"));
    dispRaw = whisperMenu->addAction(QStringLiteral("Display raw transmissions here"));
    whisperClear = whisperMenu->addAction(QStringLiteral("Clear"));
    dispWhisper->setCheckable(true);
    dispRaw->setCheckable(true);
    dispWhisper->setChecked(true);
    whisper->widget()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(whisper->widget(), &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        whisperMenu->popup(whisper->widget()->mapToGlobal(pos));
    });

    connect(chatClear, &QAction::triggered, this, guard([this] { chatClearClick(); }));
    connect(SaveAs1, &QAction::triggered, this, guard([this] { SaveAs1Click(); }));
    connect(Copy1, &QAction::triggered, this, guard([this] { Copy1Click(); }));
    connect(SelectAll1, &QAction::triggered, this, guard([this] { SelectAll1Click(); }));
    connect(dispWhisper, &QAction::triggered, this, guard([this] { dispWhisperClick(); }));
    connect(dispRaw, &QAction::triggered, this, guard([this] { dispRawClick(); }));
    connect(whisperClear, &QAction::triggered, this, guard([this] { whisperClearClick(); }));
}

void Tmain::createMenus()
{
    QMenuBar *bar = menuBar();
    auto *style = new TMenuBarStyle(QApplication::style()->name());
    style->setParent(bar);
    bar->setStyle(style);
    auto item = [&](QAction *&action, const QString &caption, int image, auto handler) {
        action = bar->addAction(TIcons::menuIcon(image), caption);
        connect(action, &QAction::triggered, this, guard(handler));
    };
    item(Connect, QStringLiteral("Connect"), TIcons::ConnectImage, [this] { ConnectClick(); });
    item(Disconnect, QStringLiteral("Disconnect"), TIcons::DisconnectImage, [this] { DisconnectClick(); });
    item(Preferences, QStringLiteral("Preferences"), TIcons::PreferencesImage, [this] { PreferencesClick(); });
    item(PauseChat, QStringLiteral("Pause Chat"), TIcons::PauseChatImage, [this] { PauseChatClick(); });
    item(Away, QStringLiteral("&Away"), TIcons::AwayImage, [this] { AwayClick(); });
    item(Home, QStringLiteral("Home"), TIcons::HomeImage, [this] { HomeClick(); });
    item(Quit, QStringLiteral("Quit"), TIcons::QuitImage, [this] { QuitClick(); });
}

void Tmain::wireEvents()
{
    bnet->OnConnect = [this] { bnetConnect(); };
    bnet->OnDisconnect = [this] { bnetDisconnect(); };
    bnet->OnConnectClosed = [this] { bnetDisconnect(); };
    bnet->OnDataReceived = [this](const QString &line) { bnetDataReceived(line); };
    bnet->OnLogin = [this] { bnetLogin(); };
    bnet->OnSocketError = [this] { bnetSocketError(); };
}

void Tmain::startOptions()
{
    options = new Toptions(this);
    TMainPanes panes;
    panes.chat = chat->widget();
    panes.users = users;
    panes.text = text;
    panes.whisper = whisper->widget();
    panes.brx = brx;
    panes.channel = channel;
    panes.setBackground = [this](const QColor &c) {
        chat->setBackground(c);
        whisper->setBackground(c);
        for (QWidget *w : {static_cast<QWidget *>(users), static_cast<QWidget *>(brx),
                           static_cast<QWidget *>(channel), static_cast<QWidget *>(text)}) {
            QPalette p = w->palette();
            p.setColor(QPalette::Base, c);
            w->setPalette(p);
        }
    };
    panes.setListTextColour = [this](const QColor &c) {
        for (QWidget *w : {static_cast<QWidget *>(users), static_cast<QWidget *>(brx),
                           static_cast<QWidget *>(channel), static_cast<QWidget *>(text)}) {
            QPalette p = w->palette();
            p.setColor(QPalette::Text, c);
            w->setPalette(p);
        }
    };
    panes.setWhisperTextColour = [this](const QColor &c) { whisper->setDefaultTextColour(c); };
    panes.dispWhisperChecked = [this] { return dispWhisper->isChecked(); };
    options->setMainPanes(panes);
    options->OnNotice = [this](const QString &message) {
        writeLine(chat, QStringLiteral("Warning:"), TTextItem::ownText(message),
                  errorColour());
    };
    // A log switched on again, or given another name, may warn once more.
    connect(options->keeplog, &QCheckBox::toggled, this, [this] { m_chatLogWarned = false; });
    connect(options->logfilename, &QLineEdit::textChanged, this, [this] { m_chatLogWarned = false; });
    connect(options->keeprawlog, &QCheckBox::toggled, this, [this] { m_rawLogWarned = false; });
    connect(options->rawlogfilename, &QLineEdit::textChanged, this,
            [this] { m_rawLogWarned = false; });
    // After the dialog's own OK handler, which was connected first.
    connect(options->ok, &QPushButton::clicked, this, guard([this] { applyQuotaSettings(); }));
    // Created hidden; its show handler reads the configuration file now.
    guardedCall([this] { options->FormShow(); });
}

void Tmain::FormCreate()
{
    refreshForm();
    // Here, in this order: loadSquelchlist(); initAntiCensor();
    loadSquelchlist();
    initAntiCensor();
    channel->setText(mainCaption);
    setWindowTitle(mainCaption);
    setConnectedState(false);
    envVars.lastWhisperer.clear();
    envVars.userCount = 0;
    envVars.isAway = false;
    envVars.autoConnectDone = false;
}

void Tmain::refreshForm()
{
    const QRect frame = frameGeometry();
    const TMainLayout l = computeLayout(frame.width(), frame.height());
    channel->setGeometry(l.channel);
    users->setGeometry(l.users);
    chat->widget()->setGeometry(l.chat);
    whisper->widget()->setGeometry(l.whisper);
    brx->setGeometry(l.brx);
    text->setGeometry(l.text);
    send->setGeometry(l.send);
    lamermode->setGeometry(l.lamermode);
}

void Tmain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_firstShowDone) {
        m_firstShowDone = true;
        // The window was sized before its frame was known: make the outer
        // size the start size once the frame is there.
        QTimer::singleShot(0, this, [this] {
            const QSize extra = frameGeometry().size() - geometry().size();
            if (!extra.isEmpty() && size() == QSize(startWidth, startHeight))
                resize(startWidth - extra.width(), startHeight - extra.height());
            refreshForm();
        });
    }
    guardedCall([this] { FormShow(); });
}

void Tmain::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    refreshForm();
}

void Tmain::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    // The frame may have become known only now.
    if (frameGeometry().size() != m_lastOuterSize) {
        m_lastOuterSize = frameGeometry().size();
        refreshForm();
    }
}

void Tmain::FormShow()
{
    text->setFocus();
    if (!envVars.autoConnectDone && options->autoconnect->isChecked()) {
        envVars.autoConnectDone = true;
        ConnectClick();
    }
}

void Tmain::setConnectedState(bool connected)
{
    Connect->setEnabled(!connected);
    Disconnect->setEnabled(connected);
    Home->setEnabled(connected);
    PauseChat->setEnabled(connected);
    Away->setEnabled(connected);
    if (options)
        options->username->setEnabled(!connected);
}

void Tmain::ConnectClick()
{
    applyQuotaSettings();
    // Name and password go out as bytes; the server is a host name to look up.
    process->UserName = options->bytesOf(options->username);
    process->Password = options->bytesOf(options->password);
    bnet->Address = options->server->currentText();
    bnet->Open();
}

void Tmain::DisconnectClick() { bnet->Close(); }

void Tmain::applyQuotaSettings()
{
    process->QuotaUnits = options->quotaUnits->value();
    process->QuotaWindowMs = options->quotaWindow->value() * 1000;
    process->QuotaBytesPerUnit = options->quotaBytesPerUnit->value();
    process->QuotaMarginMs = options->quotaMargin->value();
}

void Tmain::processRefused(const QString &line, int waitMs)
{
    // The server's own error line is already in the transcript; this says
    // what becomes of the line, so that nobody types it again.
    QString message;
    if (waitMs >= 0) {
        const double seconds = std::ceil(waitMs / 100.0) / 10.0;
        message = QStringLiteral("The server's flood quota refused a line; it will be sent again in ")
            + QString::number(seconds, 'g', 4) + QStringLiteral(" seconds.");
    } else {
        QString text = line;
        while (text.endsWith(QLatin1Char('\r')) || text.endsWith(QLatin1Char('\n')))
            text.chop(1);
        message = QStringLiteral("The server's flood quota will not take this line, so it was not "
                                 "sent again: ")
            + TText::decode(text);
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
        Away->setIcon(TIcons::menuIcon(TIcons::AwayImage));
    } else {
        sendtext(QStringLiteral("/away ") + options->bytesOf(options->awaymessage));
        envVars.isAway = true;
        Away->setIcon(TIcons::menuIcon(TIcons::BackImage));
    }
}

void Tmain::HomeClick()
{
    const QString home = options->bytesOf(options->homechannel);
    if (!home.isEmpty())
        sendtext(QStringLiteral("/join ") + home);
}

void Tmain::QuitClick()
{
    if (FormCloseQuery())
        terminate();
}

bool Tmain::FormCloseQuery()
{
    if (options->confirmquit->isChecked())
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
    options->hide();
    terminate();
}

void Tmain::bnetConnect()
{
    const QColor label = labelColour();
    writeLine(chat, TLabel::console,
              QStringLiteral("Connecting to ") + TTextItem::ownText(bnet->Address) +
                  QStringLiteral("..."),
              label);
    process->Login();
    setConnectedState(true);
}

void Tmain::bnetDisconnect()
{
    writeLine(chat, TLabel::console, QStringLiteral("Disconnected."),
              labelColour());
    users->clear();
    envVars.userCount = 0;
    channel->setText(QStringLiteral("Tressel " TRESSEL_VERSION));
    setConnectedState(false);
}

void Tmain::bnetLogin()
{
    writeLine(chat, TLabel::console, QStringLiteral("Logging In..."),
              labelColour());
    HomeClick();
}

void Tmain::bnetSocketError()
{
    const QColor label = labelColour();
    writeLine(chat, TLabel::consoleBlank, QStringLiteral("A socket error occured."), label);
    if (!bnet->SocketErrorText().isEmpty())
        writeLine(chat, TLabel::consoleBlank, TTextItem::ownText(bnet->SocketErrorText()),
                  label);
}

void Tmain::bnetDataReceived(const QString &DataString)
{
    process->ParseLine(DataString);
    // The raw line is one byte string: it is shown decoded as a whole.
    if (dispRaw->isChecked())
        whisper->appendPlainLine(TText::decode(DataString));
    if (options->keeprawlog->isChecked())
        appendRawLog(DataString);
}

void Tmain::appendRawLog(const QString &line)
{
    const QString name = options->rawlogfilename->text();
    if (name.isEmpty()) {
        logNotSet(m_rawLogWarned, QStringLiteral("raw log"));
        return;
    }
    appendLog(name, QStringLiteral("Raw"), line);
}

void Tmain::timerTimer()
{
    if (envVars.chatPaused)
        setWindowTitle(windowTitle() == mainCaption ? pausedCaption : mainCaption);
    if (envVars.idleTicks <= antiIdleTicks) {
        ++envVars.idleTicks;
        return;
    }
    envVars.idleTicks = 0;
    if (!options->antiidle->isChecked())
        return;
    if (options->ai_users->isChecked())
        sendtext(QStringLiteral("/users"));
    if (options->ai_time->isChecked())
        sendtext(QStringLiteral("/time"));
    if (options->ai_stats->isChecked())
        sendtext(QStringLiteral("/stats ") + options->bytesOf(options->username) +
                 QStringLiteral(" SEXP"));
}
