// The history: every line the transcript shows, and the ones it hides,
// handed to the store in history.db, which writes them on its own thread.
#include "mainwindow/historydesk.h"

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

THistoryDesk::THistoryDesk(Tmain &window) : QObject(&window), w(window)
{
    m_history = new THistoryStore(historyFile, this);
    // Lines are read as the panes read them, on the writer's thread.
    m_history->setDecoder([](const QString &bytes) { return TText::decode(bytes); });
    // The store speaks from its own thread; the lines are written here.
    connect(m_history, &THistoryStore::problem, this, [this](const QString &text) {
        w.guardedCall([&] {
            w.writeLine(w.chat, QStringLiteral("Warning:"), TTextItem::ownText(text),
                        w.errorColour());
        });
    });
    connect(m_history, &THistoryStore::notice, this, [this](const QString &text) {
        w.guardedCall([&] {
            w.writeLine(w.chat, TLabel::console, TTextItem::ownText(text), w.labelColour());
        });
    });
    // Wherever the focus is in the window.
    auto *open = new QAction(this);
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    open->setShortcutContext(Qt::WindowShortcut);
    w.addAction(open);
    connect(open, &QAction::triggered, this, w.guard([this] { HistoryClick(); }));
    // A member's lines, from the lists' menus.
    w.menus.usersHistory = w.menus.userMenu->addAction(QStringLiteral("History..."));
    connect(w.menus.usersHistory, &QAction::triggered, this, w.guard([this] {
        QString name;
        if (w.selectedUser(name))
            openHistoryFor(TText::decode(name));
    }));
    w.menus.brxHistory = w.menus.brxMenu->addAction(QStringLiteral("History..."));
    connect(w.menus.brxHistory, &QAction::triggered, this, w.guard([this] {
        const QList<QListWidgetItem *> sel = w.brx->selectedItems();
        if (!sel.isEmpty())
            openHistoryFor(sel.first()->text());
    }));
}

void THistoryDesk::HistoryClick() { openHistoryFor(QString()); }

void THistoryDesk::openHistoryFor(const QString &member)
{
    // Opened now if the setting was off until a moment ago.
    m_history->start();
    if (!m_historyWindow)
        m_historyWindow = new THistoryWindow(m_history, &w);
    m_history->flush(); // the lines of a moment ago are found too
    m_historyWindow->defaultLog = w.store->shown(TSetting::logfilename);
    m_historyWindow->openFor(member);
}

void THistoryDesk::applyHistorySettings()
{
    m_history->setRetention(w.store->number(TSetting::historyDays),
                            w.store->number(TSetting::historyMegabytes));
    // Opened in the background, the first time it is wanted.
    if (w.store->flag(TSetting::keepHistory))
        m_history->start();
    // New limits hold from now, not from the next hour of lines.
    m_history->scheduleRetention(currentDateTime().toMSecsSinceEpoch());
}

void THistoryDesk::historyLine(const QString &label, const QString &message, bool hidden,
                               std::optional<qint64> timeMs)
{
    if (!m_history || m_replaying || !w.store->flag(TSetting::keepHistory))
        return;
    // Switched on since the last Ok: kept from now on all the same.
    m_history->start();
    // Bytes as they are: the store reads them on its own thread, so that a
    // flood costs this thread no more than copying the line's characters.
    THistory::LineView line;
    line.undecoded = true;
    line.hidden = hidden;
    line.timeMs = timeMs ? *timeMs : currentMSecsSinceEpoch();
    line.server = w.session->bnet->Address;
    const QString account = w.ownName();
    line.account = account;
    line.channel = w.envVars.channelName;
    // A flood's lines share a few labels: read as the last with the same.
    for (const LastTalk &last : m_lastTalk) {
        if (!last.label.isNull() && label == last.label) {
            line.kind = last.kind;
            line.sender = last.sender;
            line.text = message;
            m_history->add(line);
            return;
        }
    }
    const THistory::LabelReading read = THistory::readLabel(label, message);
    // Talk and whispers are read from their label alone.
    const bool byLabel = read.kind == THistory::Kind::Talk ||
                         read.kind == THistory::Kind::WhisperReceived ||
                         read.kind == THistory::Kind::WhisperSent;
    if (byLabel) {
        m_lastTalk[m_nextTalk] = {label, read.kind, read.sender};
        m_nextTalk = (m_nextTalk + 1) % int(m_lastTalk.size());
    }
    // Written just before the channel changes: it belongs to the new one.
    static const QString joinedChannel = QStringLiteral("Joined Channel ");
    if (read.kind == THistory::Kind::Info && read.text.startsWith(joinedChannel))
        line.channel = QStringView(read.text).mid(joinedChannel.size());
    line.kind = read.kind;
    line.sender = read.sender;
    line.text = read.text;
    m_history->add(line);
}

QVector<THistory::Line> THistoryDesk::earlierLinesOf(const QString &channel)
{
    // Paused chat shows nothing new, and these would be new to the pane.
    if (!m_history || !w.store->flag(TSetting::earlierLines) ||
        !w.store->flag(TSetting::keepHistory) || w.envVars.chatPaused)
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

void THistoryDesk::showEarlierLines(const QString &channel, const QVector<THistory::Line> &lines)
{
    if (lines.isEmpty())
        return;
    // Straight into the pane: not logged, kept, judged, read out or marked.
    const QColor text = w.colourOf(TSetting::text_colour);
    const QColor back = w.chat->background();
    const QColor dim((text.red() + back.red()) / 2, (text.green() + back.green()) / 2,
                     (text.blue() + back.blue()) / 2);
    const auto show = [&](const QString &line) {
        w.chat->appendLine(line, {TColourRun{int(line.size()), dim}});
    };
    show(QStringLiteral("\u2015\u2015 Earlier in %1 \u2015\u2015").arg(TText::decode(channel)));
    for (const THistory::Line &l : lines)
        show(THistoryModel::lineText(l));
    show(QStringLiteral("\u2015\u2015 Now \u2015\u2015"));
}
