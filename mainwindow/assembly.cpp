// The window put together: its controls, menu, connection objects and the
// one place where their events are wired to the behaviour areas.
#include "base/version.h"
#include "base/wirecodes.h"
#include "core/settingsstore.h"
#include "mainwindow/Tmain.h"
#include "mainwindow/access.h"
#include "mainwindow/historydesk.h"
#include "mainwindow/labels.h"

#include "base/files.h"
#include "base/guard.h"
#include "connection/TChatInterface.h"
#include "core/settingsstore.h"
#include "core/textcodec.h"
#include "interpreter/TBnetChat.h"
#include "mainwindow/comforts.h"
#include "mainwindow/journal.h"
#include "mainwindow/moderationdesk.h"
#include "preferences/Toptions.h"
#include "resources/icons.h"
#include "rules/layout.h"
#include "session/TSession.h"
#include "widgets/TTranscriptView.h"
#include "widgets/dialogs.h"
#include "widgets/focusframe.h"
#include "widgets/menubarstyle.h"
#include "widgets/sound.h"
#include "widgets/textitems.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <cmath>

namespace {
constexpr int startWidth = 795;
constexpr int startHeight = 539;

QFont paneFont(const QString &face, int points)
{
    QFont f(face, points);
    f.setStyleHint(QFont::SansSerif); // where the family is missing
    return f;
}
} // namespace

QColor Tmain::colourOf(TSetting::Id id) const { return QColor::fromRgb(store->colour(id)); }

QFont Tmain::startFont(int pane) const
{
    return paneFont(store->shown(TSetting::faceOf(TSetting::Pane(pane))),
                    store->number(TSetting::sizeOf(TSetting::Pane(pane))));
}

Tmain::PaneFactory &Tmain::transcriptFactory()
{
    static PaneFactory factory = [](QWidget *parent) -> TTranscriptPane * {
        return new TTranscriptView(parent);
    };
    return factory;
}

void Tmain::guardedCall(const std::function<void()> &f) { guarded(f); }

Tmain::Tmain(QWidget *parent) : QMainWindow(parent)
{
    // exit(), not quit(): quit() first closes every window, and the main
    // window's close would ask "Are you sure you wish to quit?" once more.
    terminate = [] { QCoreApplication::exit(0); };
    setErrorDisplay(showErrorBox); // errors show as boxes from now on
    setWindowTitle(QStringLiteral("Tressel"));
    store = new TSettingsStore(this);
    // The window and the channel box (whose font is not kept) in the chat's face.
    setFont(startFont(TSetting::ChatPane));
    createControls();
    createMenus();

    session = new TSession(this);
    session->setStore(store);
    session->startsSquelched = [this](const QString &name) { return checkSquelch(name); };
    session->bnet->Address = store->shown(TSetting::server);
    session->bnet->Port = 6112;
    session->bnet->NoLineFeed = true;
    session->bnet->NoReturn = true;
    session->process->setFloodInterval(Wire::FloodIntervalMs);
    timer = new TClockTimer(this);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer); // never early: a tick is due when it fires
    connect(timer, &TClockTimer::timeout, this, guard([this] { runDueTicks(); }));
    // The behaviour areas set up their controls; then every event of the
    // connection and the server is wired to them, in one place.
    moderationDesk = new TModerationDesk(*this);
    setupInputLine();
    setupUserList();
    comforts = new TComforts(*this);
    setupAttention();
    journalDesk = new TJournalDesk(*this);
    access = new TWindowAccess(*this);
    historyDesk = new THistoryDesk(*this);
    wireEvents();

    const QScreen *screen = QGuiApplication::primaryScreen();
    const QRect start = startGeometry(QSize(startWidth, startHeight),
                                      screen ? screen->availableGeometry() : QRect());
    m_startSize = start.size();
    resize(m_startSize);
    if (screen)
        move(start.topLeft());
    guardedCall([this] { FormCreate(); });
    startOptions();
    comforts->applyComfortSettings();
    historyDesk->applyHistorySettings();
    timerOriginMs = clockMs();
    runDueTicks();
}

Tmain::~Tmain()
{
    // The session's last events must not reach a window half torn down.
    disconnect(session, nullptr, this, nullptr);
}

void Tmain::createControls()
{
    auto *client = new QWidget(this);
    setCentralWidget(client);

    chat = transcriptFactory()(client);
    chat->widget()->setObjectName(QStringLiteral("chat"));
    chat->widget()->setFont(startFont(TSetting::ChatPane));
    whisper = transcriptFactory()(client);
    whisper->widget()->setObjectName(QStringLiteral("whisper"));
    whisper->widget()->setFont(startFont(TSetting::RawPane));

    users = new QTreeWidget(client);
    users->setObjectName(QStringLiteral("users"));
    users->setColumnCount(1);
    users->setHeaderHidden(true);
    users->setRootIsDecorated(false);
    users->setIndentation(0);
    users->setEditTriggers(QAbstractItemView::NoEditTriggers);
    users->setSelectionMode(QAbstractItemView::SingleSelection);
    users->setIconSize(QSize(28, 14));
    users->setFont(startFont(TSetting::UserPane));
    users->header()->setMinimumSectionSize(130);
    users->setColumnWidth(0, 130);

    brx = new QListWidget(client);
    brx->setObjectName(QStringLiteral("brx"));
    brx->setViewMode(QListView::ListMode);
    brx->setEditTriggers(QAbstractItemView::NoEditTriggers);
    brx->setIconSize(QSize(28, 14));
    brx->setFont(startFont(TSetting::BrxPane));
    for (QWidget *area : {chat->widget(), whisper->widget(), static_cast<QWidget *>(users),
                          static_cast<QWidget *>(brx)})
        showFocusFrame(qobject_cast<QAbstractScrollArea *>(area));

    text = new QLineEdit(client);
    text->setObjectName(QStringLiteral("text"));
    text->setFont(startFont(TSetting::TextPane));

    send = new QPushButton(QStringLiteral("&Send"), client);
    send->setObjectName(QStringLiteral("send"));
    // The window's default button: Enter anywhere in the window clicks it
    // (keyPressEvent, input.cpp).
    send->setDefault(true);

    channel = new QLineEdit(client);
    channel->setObjectName(QStringLiteral("channel"));
    channel->setReadOnly(true);
    channel->setFont(startFont(TSetting::UserPane));

    lamermode = new QPushButton(QStringLiteral("Activate Lamer Mode"), client);
    lamermode->setObjectName(QStringLiteral("lamermode"));
    lamermode->setToolTip(
        QStringLiteral("Activating this will suppress text from any user not on your safelist"));

    menus.chatMenu = new QMenu(this);
    menus.chatClear = menus.chatMenu->addAction(QStringLiteral("Clear"));
    menus.chatMenu->addSeparator();
    menus.SaveAs1 = menus.chatMenu->addAction(QStringLiteral("Save As"));
    menus.Copy1 = menus.chatMenu->addAction(QStringLiteral("Copy"));
    menus.SelectAll1 = menus.chatMenu->addAction(QStringLiteral("Select All"));
    chat->widget()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(chat->widget(), &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { comforts->chatMenuRequested(pos); });

    menus.whisperMenu = new QMenu(this);
    menus.dispWhisper = menus.whisperMenu->addAction(QStringLiteral("Display whispers here"));
    menus.dispRaw = menus.whisperMenu->addAction(QStringLiteral("Display raw transmissions here"));
    menus.whisperClear = menus.whisperMenu->addAction(QStringLiteral("Clear"));
    menus.dispWhisper->setCheckable(true);
    menus.dispRaw->setCheckable(true);
    menus.dispWhisper->setChecked(true);
    whisper->widget()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(whisper->widget(), &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) {
                menus.whisperMenu->popup(whisper->widget()->mapToGlobal(pos));
            });

    connect(menus.chatClear, &QAction::triggered, this, guard([this] { chatClearClick(); }));
    connect(menus.SaveAs1, &QAction::triggered, this, guard([this] { SaveAs1Click(); }));
    connect(menus.Copy1, &QAction::triggered, this, guard([this] { Copy1Click(); }));
    connect(menus.SelectAll1, &QAction::triggered, this, guard([this] { SelectAll1Click(); }));
    connect(menus.dispWhisper, &QAction::triggered, this, guard([this] { dispWhisperClick(); }));
    connect(menus.dispRaw, &QAction::triggered, this, guard([this] { dispRawClick(); }));
    connect(menus.whisperClear, &QAction::triggered, this, guard([this] { whisperClearClick(); }));
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
    item(menus.Connect, QStringLiteral("&Connect"), TIcons::ConnectImage,
         [this] { ConnectClick(); });
    item(menus.Disconnect, QStringLiteral("&Disconnect"), TIcons::DisconnectImage,
         [this] { DisconnectClick(); });
    item(menus.Preferences, QStringLiteral("&Preferences"), TIcons::PreferencesImage,
         [this] { PreferencesClick(); });
    item(menus.PauseChat, QStringLiteral("Pa&use Chat"), TIcons::PauseChatImage,
         [this] { PauseChatClick(); });
    item(menus.Away, QStringLiteral("&Away"), TIcons::AwayImage, [this] { AwayClick(); });
    item(menus.Home, QStringLiteral("&Home"), TIcons::HomeImage, [this] { HomeClick(); });
    item(menus.Journal, QStringLiteral("&Journal"), TIcons::JournalImage,
         [this] { journalDesk->JournalClick(); });
    item(menus.History, QStringLiteral("His&tory"), TIcons::JournalImage,
         [this] { historyDesk->HistoryClick(); });
    item(menus.Quit, QStringLiteral("&Quit"), TIcons::QuitImage, [this] { QuitClick(); });
}

void Tmain::wireEvents()
{
    TSession *s = session;
    // The link (connectioncontrol.cpp).
    connect(s, &TSession::linkUp, this, [this] { bnetConnect(); });
    connect(s, &TSession::linkDown, this, &Tmain::bnetDisconnect);
    connect(s, &TSession::loggedIn, this, &Tmain::bnetLogin);
    connect(s, &TSession::socketError, this, &Tmain::bnetSocketError);
    connect(s, &TSession::lineReceived, this, &Tmain::bnetDataReceived);
    connect(s, &TSession::notice, this,
            [this](const QString &text) { writeLine(chat, TLabel::console, text, labelColour()); });
    connect(s, &TSession::stateChanged, this, [this] { setConnectedState(session->connected()); });

    // The channel and its members (userlist.cpp).
    connect(s, &TSession::showUser, this, &Tmain::processShowUser);
    connect(s, &TSession::join, this, &Tmain::processJoin);
    connect(s, &TSession::leave, this, &Tmain::processLeave);
    connect(s, &TSession::userFlags, this, &Tmain::processUserFlags);
    connect(s, &TSession::channel, this, &Tmain::processChannel);
    connect(s, &TSession::uniqueName, this, &Tmain::processUniqueName);

    // What is said, and what the server tells (messageevents.cpp).
    connect(s, &TSession::talk, this, &Tmain::processTalk);
    connect(s, &TSession::emote, this, &Tmain::processEmote);
    connect(s, &TSession::whisper, this, &Tmain::processWhisper);
    connect(s, &TSession::whisperSent, this, &Tmain::processWhisperSent);
    connect(s, &TSession::broadcast, this, &Tmain::processBroadcast);
    connect(s, &TSession::channelFull, this, &Tmain::processChannelFull);
    connect(s, &TSession::info, this, &Tmain::processInfo);
    connect(s, &TSession::chanNotExist, this, &Tmain::processChanNotExist);
    connect(s, &TSession::error, this, &Tmain::processError);
    connect(s, &TSession::restricted, this, &Tmain::processRestricted);
    connect(s, &TSession::unhandled, this, &Tmain::processUnHandled);

    // What we send and the server's quota (connectioncontrol.cpp, input.cpp).
    connect(s, &TSession::refused, this, &Tmain::processRefused);
    connect(s, &TSession::unsent, this, &Tmain::processUnsent);
    connect(s, &TSession::taken, this, &Tmain::processTaken);
}

void Tmain::startOptions()
{
    options = new Toptions(this, store);
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
    panes.dispWhisperChecked = [this] { return menus.dispWhisper->isChecked(); };
    options->setMainPanes(panes);
    options->OnNotice = [this](const QString &message) {
        writeLine(chat, QStringLiteral("Warning:"), TTextItem::ownText(message), errorColour());
    };
    // The sound module is loaded by the first whisper sound; the newest
    // window says if it could not be.
    setSoundFailureReport([window = QPointer<Tmain>(this)](const QString &message) {
        if (window)
            window->options->OnNotice(message);
    });
    // A log switched on again, or given another name, may warn once more.
    connect(store, &TSettingsStore::changed, this, [this](TSetting::Id id) {
        if (id == TSetting::keeplog || id == TSetting::logfilename)
            m_chatLogWarned = false;
        if (id == TSetting::keeprawlog || id == TSetting::rawlogfilename)
            m_rawLogWarned = false;
    });
    options->judgedLines = [this] { return journalDesk->judgedLines(); };
    options->isSafe = [this](const QString &name) { return checkSafe(name); };
    // The comforts follow a change at once. The history's limits wait for
    // the dialog to close: a limit half typed ("3" on the way to "365")
    // must never delete a year of lines.
    connect(store, &TSettingsStore::changed, this, [this](TSetting::Id id) {
        if (id == TSetting::showLinks || id == TSetting::mentionColour || id == TSetting::findBar)
            guardedCall([this] { comforts->applyComfortSettings(); });
    });
    connect(options, &Toptions::closed, this,
            guard([this] { historyDesk->applyHistorySettings(); }));
    // Created hidden; its show handler reads the configuration file now.
    guardedCall([this] { options->FormShow(); });
}

void Tmain::FormCreate()
{
    refreshForm();
    // The anticensor's table was filled with the moderation chain
    // (TModerationDesk), before any line can come.
    loadSquelchlist();
    channel->setText(TLabel::mainCaption);
    setWindowTitle(TLabel::mainCaption);
    setConnectedState(false);
    envVars.lastWhisperer.clear();
    session->userCount = 0;
    envVars.isAway = false;
    envVars.autoConnectDone = false;
}

void Tmain::refreshForm()
{
    const QRect frame = frameGeometry();
    // The one-line controls are as tall as their fonts need, at least 21,
    // and the side column as wide as its buttons' captions, at least 160.
    int row = 21;
    for (QWidget *w : {static_cast<QWidget *>(channel), static_cast<QWidget *>(text),
                       static_cast<QWidget *>(send), static_cast<QWidget *>(lamermode)})
        row = std::max(row, w->sizeHint().height());
    const int side = std::max(send->sizeHint().width(), lamermode->sizeHint().width());
    const TMainLayout l = computeLayout(frame.width(), frame.height(), row, side);
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
            if (!extra.isEmpty() && size() == m_startSize)
                resize(m_startSize - extra);
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
    if (!envVars.autoConnectDone && store->flag(TSetting::autoconnect)) {
        envVars.autoConnectDone = true;
        ConnectClick();
    }
}
