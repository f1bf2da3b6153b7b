#pragma once
// The moderation journal: an entry in journal.log for every squelch action
// taken on the user's behalf or by the user, the journal window and undo.
// A child of the window it serves.
#include "rules/triggertester.h"

#include <QObject>
#include <QString>
#include <vector>

class TJournalWindow;
class Tmain;

class TJournalDesk : public QObject {
public:
    explicit TJournalDesk(Tmain &window);

    // Writes one entry to journal.log (when kept) and to the journal window.
    void journalAction(const QString &action, const QString &name, const QString &reason,
                       const QString &detail = QString(), const QString &text = QString());
    // Sends a squelch line and journals it; nothing is journalled when the
    // line cannot go.
    void sendJournalled(const QString &line, const QString &action, const QString &name,
                        const QString &reason, const QString &detail = QString(),
                        const QString &text = QString());
    // Shows, raises and activates the journal window (Ctrl+J, "Journal").
    void JournalClick();
    TJournalWindow *journalWindow() const { return m_journalWindow; }
    // Takes back the journal entry at row (file order); safelist also puts
    // the member on the safelist. False, with the reason in the window,
    // when the entry cannot be undone.
    bool undoJournalEntry(int row, bool safelist);
    // A talk or emote line the automatic squelch judged (bytes).
    void rememberJudged(const QString &user, const QString &text);
    // The last lines judged, oldest first, for the trigger tester.
    std::vector<triggertester::JudgedLine> judgedLines() const;

private:
    Tmain &w;
    struct State;
    State *m_journal = nullptr; // a child of this
    TJournalWindow *m_journalWindow = nullptr;
};
