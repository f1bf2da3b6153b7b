#pragma once
// Tab completion in the input line: the word before the cursor is completed
// from the channel's members (in list order, prefix without case) or, as
// the first word after "/", from the local commands. Each further Tab puts
// the next candidate in place of the last one (Shift+Tab the one before).
// Where nothing is to be completed the caller lets Tab move the focus.
#include <QString>
#include <QStringList>

class TCompletion {
public:
    struct Result {
        QString text;  // the whole input line afterwards
        int cursor;    // where the cursor goes
        int name = -1; // the name put in, as its index in names; -1 for a command
    };

    // The local commands, in the order they are tried.
    static const QStringList &commands();

    // Completes the word before `cursor` in `text`. `names` are the members
    // as shown, in list order. A Tab right after the last completion (text
    // and cursor as it left them) takes the next candidate, or with
    // `backwards` the one before; `backwards` never starts a completion.
    // False, and nothing to change, when there is no word before the
    // cursor, no candidate fits it, or a further Tab has no other
    // candidate to take.
    bool complete(const QString &text, int cursor, const QStringList &names, Result &result,
                  bool backwards = false);
    // The input line was changed some other way: the next Tab starts anew.
    void reset() { m_active = false; }

private:
    bool m_active = false;
    QString m_leftText; // the text and cursor the last completion left
    int m_leftCursor = 0;
    int m_wordStart = 0;
    QString m_before, m_after; // around the word being completed
    QStringList m_candidates;
    QStringList m_suffixes;
    QList<int> m_names; // each candidate's index in names (-1: a command)
    int m_index = 0;
};
