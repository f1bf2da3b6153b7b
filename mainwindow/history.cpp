// The history: every line the transcript shows, and the ones it hides,
// handed to the store in history.db, which writes them on its own thread.
#include "core/settingsstore.h"
#include "mainwindow/Tmain.h"
#include "mainwindow/labels.h"
#include "session/TSession.h"

#include "base/clock.h"
#include "connection/TChatInterface.h"
#include "core/textcodec.h"
#include "history/historylabels.h"
#include "history/historystore.h"
#include "mainwindow/historywindow.h"
#include "preferences/Toptions.h"
#include "rules/itembytes.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>

namespace {
const QString historyFile = QStringLiteral("history.db");
}

void Tmain::setupHistory()
{
    m_history = new THistoryStore(historyFile, this);
    // Lines are read as the panes read them, on the writer's thread.
    m_history->setDecoder([](const QString &bytes) { return TText::decode(bytes); });
    // The store speaks from its own thread; the lines are written here.
    connect(m_history, &THistoryStore::problem, this, [this](const QString &text) {
        guardedCall([&] {
            writeLine(chat, QStringLiteral("Warning:"), TTextItem::ownText(text), errorColour());
        });
    });
    connect(m_history, &THistoryStore::notice, this, [this](const QString &text) {
        guardedCall(
            [&] { writeLine(chat, TLabel::console, TTextItem::ownText(text), labelColour()); });
    });
    // Wherever the focus is in the window.
    auto *open = new QAction(this);
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    open->setShortcutContext(Qt::WindowShortcut);
    addAction(open);
    connect(open, &QAction::triggered, this, guard([this] { HistoryClick(); }));
    // A member's lines, from the lists' menus.
    usersHistory = userMenu->addAction(QStringLiteral("History..."));
    connect(usersHistory, &QAction::triggered, this, guard([this] {
                QString name;
                if (selectedUser(name))
                    openHistoryFor(TText::decode(name));
            }));
    brxHistory = brxMenu->addAction(QStringLiteral("History..."));
    connect(brxHistory, &QAction::triggered, this, guard([this] {
                const QList<QListWidgetItem *> sel = brx->selectedItems();
                if (!sel.isEmpty())
                    openHistoryFor(sel.first()->text());
            }));
}

void Tmain::HistoryClick() { openHistoryFor(QString()); }

void Tmain::openHistoryFor(const QString &member)
{
    // Opened now if the setting was off until a moment ago.
    m_history->start();
    if (!m_historyWindow)
        m_historyWindow = new THistoryWindow(m_history, this);
    m_history->flush(); // the lines of a moment ago are found too
    m_historyWindow->defaultLog = store->shown(TSetting::logfilename);
    m_historyWindow->openFor(member);
}

void Tmain::applyHistorySettings()
{
    m_history->setRetention(store->number(TSetting::historyDays),
                            store->number(TSetting::historyMegabytes));
    // Opened in the background, the first time it is wanted.
    if (store->flag(TSetting::keepHistory))
        m_history->start();
    // New limits hold from now, not from the next hour of lines.
    m_history->scheduleRetention(currentDateTime().toMSecsSinceEpoch());
}

void Tmain::historyLine(const QString &label, const QString &message, bool hidden)
{
    if (!m_history || m_historyReplay || !store->flag(TSetting::keepHistory))
        return;
    // Switched on since the last Ok: kept from now on all the same.
    m_history->start();
    const THistory::LabelReading read = THistory::readLabel(label, message);
    // Bytes as they are: the store reads them on its own thread, so that a
    // flood costs this thread no more than handing the line over.
    THistory::Line line;
    line.undecoded = true;
    line.timeMs = currentDateTime().toMSecsSinceEpoch();
    line.server = session->bnet->Address;
    line.account = ownName();
    line.channel = envVars.channelName;
    // Written just before the channel changes: it belongs to the new one.
    static const QString joinedChannel = QStringLiteral("Joined Channel ");
    if (read.kind == THistory::Kind::Info && read.text.startsWith(joinedChannel))
        line.channel = read.text.mid(joinedChannel.size());
    line.kind = read.kind;
    line.sender = read.sender;
    line.text = read.text;
    line.hidden = hidden;
    m_history->add(line);
}
