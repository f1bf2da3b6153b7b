#pragma once
// Reading the window and driving it without a mouse: the names a screen
// reader says, new lines read out while the user types, the order Tab and F6
// take, the page keys of the input line and the context menu from the
// keyboard. A child of the window it serves.
#include "rules/readout.h"

#include <QObject>

class QString;
class TAnnouncer;
class TTranscriptPane;
class Tmain;

class TWindowAccess : public QObject {
public:
    // Names the window's controls and sets up its keys; the window's
    // controls exist by now.
    explicit TWindowAccess(Tmain &window);

    // The chat's page keys from the input line: PageUp, PageDown,
    // Ctrl+Home, Ctrl+End; true when the key was used.
    bool inputReadingKey(int key, Qt::KeyboardModifiers held);
    // A line was shown, or held while chat is paused: a screen reader may
    // be told. label and shownLine are as shown.
    void readOutLine(TTranscriptPane *pane, const QString &label, const QString &shownLine,
                     bool mention, bool heldBack);
    // Chat was unpaused: lines are replayed without a word each, and one
    // announcement says what was held.
    void readOutReplay(bool replaying);
    // F6 and Shift+F6: the next or previous of the input line, the two panes
    // and the two lists.
    void cycleFocus(bool forward);
    // Shift+F10 and the Menu key: the focused control's context menu.
    void contextMenuFromKeyboard();
    TAnnouncer *announcer() const { return m_announcer; }

private:
    Tmain &w;
    TReadOut m_readOut;
    TAnnouncer *m_announcer = nullptr;
    bool m_replaying = false;
};
