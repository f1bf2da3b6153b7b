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
#include "history/historymodel.h"
#include "history/historystore.h"
#include "mainwindow/historywindow.h"
#include "preferences/Toptions.h"
#include "preferences/controls.h"
#include "rules/itembytes.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>

namespace {
const QString historyFile = QStringLiteral("history.db");
// How many of a channel's last lines are shown on joining it.
constexpr int earlierLineCount = 50;
} // namespace

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

QVector<THistory::Line> Tmain::earlierLinesOf(const QString &channel)
{
    // Paused chat shows nothing new, and these would be new to the pane.
    if (!m_history || !store->flag(TSetting::earlierLines) || !store->flag(TSetting::keepHistory) ||
        envVars.chatPaused)
        return {};
    m_history->start();
    m_history->flush(); // the last visit's lines are found too
    THistory::Query q;
    q.channel = TText::decode(channel);
    q.limit = 2 * earlierLineCount; // whispers are left out
    const THistory::Page page = m_history->search(q);
    QVector<THistory::Line> lines;
    for (const THistory::Line &l : page.lines) {
        if (l.kind == THistory::Kind::WhisperReceived || l.kind == THistory::Kind::WhisperSent)
            continue;
        lines.prepend(l);
        if (lines.size() == earlierLineCount)
            break;
    }
    return lines;
}

void Tmain::showEarlierLines(const QString &channel, const QVector<THistory::Line> &lines)
{
    if (lines.isEmpty())
        return;
    // Straight into the pane: not logged, kept, judged, read out or marked.
    const QColor text = colourOf(TSetting::text_colour);
    const QColor back = chat->background();
    const QColor dim((text.red() + back.red()) / 2, (text.green() + back.green()) / 2,
                     (text.blue() + back.blue()) / 2);
    const auto show = [&](const QString &line) {
        chat->appendLine(line, {TColourRun{int(line.size()), dim}});
    };
    show(QStringLiteral("\u2015\u2015 Earlier in %1 \u2015\u2015").arg(TText::decode(channel)));
    for (const THistory::Line &l : lines)
        show(THistoryModel::lineText(l));
    show(QStringLiteral("\u2015\u2015 Now \u2015\u2015"));
}
