#pragma once
// The comforts of long hours in a busy channel: Up and Down through the
// lines sent, Tab completion, the find bar over the chat, links, and the
// marking of lines that mention the user. A child of the window it serves.
#include "rules/completion.h"
#include "rules/inputhistory.h"

#include <QObject>
#include <QString>

class QAction;
class QPoint;
class TFindBar;
class Tmain;

class TComforts : public QObject {
public:
    // Sets up the find bar and the chat's links; the window's controls
    // exist by now.
    explicit TComforts(Tmain &window);

    // The settings of the comforts, from the store (at start and when one
    // of them changes).
    void applyComfortSettings();
    // Up/Down (history), Tab (completion) and the reading keys in the input
    // line; true when the key was used.
    bool inputComfortKey(int key, Qt::KeyboardModifiers modifiers);
    // A line was sent as shown: Up brings it back.
    void rememberSent(const QString &shownText);
    void openFindBar();
    void closeFindBar();
    bool findBarOpen() const;
    TFindBar *findBar() const;
    // The chat pane's menu, with "Copy Link Address" over a link.
    void chatMenuRequested(const QPoint &pos);

private:
    // False when there was nothing to complete (Tab then moves the focus).
    bool completeInput(bool backwards);
    void findTextChanged();
    void findStep(bool forward);

    Tmain &w;
    TInputHistory m_history;
    TCompletion m_completion;
    TFindBar *m_findBar = nullptr;
    QAction *m_findAction = nullptr;
    QAction *m_copyLink = nullptr;
    QString m_menuLink; // the address the chat menu was opened on
};
