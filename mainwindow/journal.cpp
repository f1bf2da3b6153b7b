// The moderation journal: an entry in journal.log for every squelch action
// taken on the user's behalf or by the user, the journal window and undo.
#include "mainwindow/journal.h"

#include "core/settingsstore.h"
#include "mainwindow/Tmain.h"
#include "mainwindow/journalwindow.h"
#include "session/TSession.h"

#include "base/clock.h"
#include "base/errors.h"
#include "base/files.h"
#include "base/guard.h"
#include "connection/TChatInterface.h"
#include "preferences/Toptions.h"
#include "rules/journal.h"

#include <QAction>
#include <QFileInfo>
#include <QMetaObject>
#include <deque>
#include <utility>

using namespace journal;

namespace {
const QString journalFileName = QStringLiteral("journal.log");
constexpr size_t judgedKept = 1000;
} // namespace

struct TJournalDesk::State : QObject {
    ~State() override
    {
        guarded([this] { flush(); });
    }
    // The first entry of a pass of the event loop goes to the file at once;
    // more in the same pass (a flood's verdicts in one read) wait for the
    // end of the pass and go in one write, so that a flood costs one write
    // per read instead of one per entry.
    void write(const QByteArray &bytes)
    {
        if (flushQueued) {
            pending += bytes;
            return;
        }
        flushQueued = true;
        QMetaObject::invokeMethod(
            this, [this] { guarded([this] { flushReporting(); }); }, Qt::QueuedConnection);
        file.append(bytes);
    }
    void flush()
    {
        flushQueued = false;
        if (pending.isEmpty())
            return;
        const QByteArray bytes = std::exchange(pending, QByteArray());
        file.append(bytes);
    }
    void flushReporting()
    {
        try {
            flush();
        } catch (const TError &e) {
            reportFailure(e.text());
        }
    }
    // Once, until the setting is switched again; the actions stand.
    void reportFailure(const QString &why)
    {
        if (failureReported)
            return;
        failureReported = true;
        reportError(QStringLiteral("The moderation journal %1 cannot be written (%2). Squelch "
                                   "actions go on, but are not journalled there until this is "
                                   "fixed; this is said only once")
                        .arg(journalFileName, why));
    }

    TAppendFile file{journalFileName};
    QByteArray pending;
    bool flushQueued = false;
    bool failureReported = false;
    bool watchingSetting = false;
    // The time field of the last entry: a flood writes many in one second.
    qint64 stampSecond = -1;
    QString stamp;
    std::deque<triggertester::JudgedLine> judged; // oldest first
};

TJournalDesk::TJournalDesk(Tmain &window) : QObject(&window), w(window)
{
    m_journal = new State;
    m_journal->setParent(this);
    // Wherever the focus is in the window, the input line included.
    auto *open = new QAction(this);
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_J));
    open->setShortcutContext(Qt::WindowShortcut);
    w.addAction(open);
    connect(open, &QAction::triggered, this, w.guard([this] { JournalClick(); }));
}

void TJournalDesk::journalAction(const QString &action, const QString &name, const QString &reason,
                                 const QString &detail, const QString &text)
{
    if (!m_journal->watchingSetting) {
        // The dialog comes after this window. Switched again, a journal
        // that failed may say so once more.
        m_journal->watchingSetting = true;
        connect(w.store, &TSettingsStore::changed, m_journal, [state = m_journal](TSetting::Id id) {
            if (id == TSetting::keepJournal)
                state->failureReported = false;
        });
    }
    if (!w.store->flag(TSetting::keepJournal))
        return;
    const QDateTime now = currentDateTime();
    const qint64 second = now.toSecsSinceEpoch();
    if (second != m_journal->stampSecond) {
        m_journal->stampSecond = second;
        m_journal->stamp = now.toString(timeFormat);
    }
    const Entry entry{m_journal->stamp, action, name, reason, detail, text};
    try {
        m_journal->write(formatEntry(entry));
    } catch (const TError &e) {
        m_journal->reportFailure(e.text());
    }
    if (m_journalWindow)
        m_journalWindow->model->append(entry);
}

void TJournalDesk::sendJournalled(const QString &line, const QString &action, const QString &name,
                                  const QString &reason, const QString &detail, const QString &text)
{
    // sendtext() refuses a line that is too long for the server (and says so).
    if (w.sendtext(line))
        journalAction(action, name, reason, detail, text);
}

void TJournalDesk::JournalClick()
{
    if (!m_journalWindow) {
        m_journalWindow = new TJournalWindow(&w);
        // Entries of this pass still waiting belong in what is read.
        m_journal->flushReporting();
        if (QFileInfo::exists(journalFileName)) {
            try {
                m_journalWindow->loadBytes(readWholeFile(journalFileName));
            } catch (const TError &e) {
                m_journalWindow->loadFailed(e.text());
            }
        }
    }
    m_journalWindow->show();
    m_journalWindow->raise();
    m_journalWindow->activateWindow();
}

bool TJournalDesk::undoJournalEntry(int row, bool safelist)
{
    TJournalWindow *win = m_journalWindow;
    if (!win || row < 0 || row >= win->model->rowCount())
        return false;
    const Entry e = win->model->entry(row);
    const Undo state = undoState(e, win->model->isUndone(row), w.checkSquelch(e.name),
                                 w.session->bnet->Connected());
    if (state != Undo::Possible) {
        win->setStatus(undoStateText(state));
        return false;
    }
    if (safelist && !isLineVerdict(e.reason)) {
        win->setStatus(QStringLiteral("Only a verdict on a line (flooding, high ASCII, upper case, "
                                      "a trigger phrase) is undone with the safelist."));
        return false;
    }
    if (e.action == permasquelchAction) {
        if (!w.unSquelchUser(e.name, {undoReason, e.time, QString()}))
            return false;
    } else {
        sendJournalled(QStringLiteral("/unsquelch ") + e.name, unsquelchAction, e.name, undoReason,
                       e.time);
    }
    win->model->setUndone(row);
    if (safelist && !w.checkSafe(e.name)) {
        // As the user list's "Add to Safelist" does.
        w.options->insertSafeName(e.name);
        w.options->writeconfig();
        w.updateUsers();
    }
    return true;
}

void TJournalDesk::rememberJudged(const QString &user, const QString &text)
{
    auto &judged = m_journal->judged;
    if (judged.size() == judgedKept)
        judged.pop_front();
    judged.push_back({user, text});
}

std::vector<triggertester::JudgedLine> TJournalDesk::judgedLines() const
{
    return {m_journal->judged.begin(), m_journal->judged.end()};
}
