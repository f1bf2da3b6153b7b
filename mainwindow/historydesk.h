#pragma once
// The window's side of the history: every line the transcript shows, and the
// ones it hides, handed to the store in history.db (which writes them on its
// own thread), the "History" window, and a channel's earlier lines on
// joining it. A child of the window it serves.
#include "history/historytypes.h"

#include <QObject>
#include <QString>
#include <QVector>

#include <array>
#include <optional>

class THistoryStore;
class THistoryWindow;
class Tmain;

class THistoryDesk : public QObject {
public:
    // Makes the store (opened when first wanted) and the menu items.
    explicit THistoryDesk(Tmain &window);

    // Keeps a line (while the Advanced tab says so): label and message as
    // writeLine takes them; hidden: a line the window does not show (the
    // squelch list, lamer mode, the ~playsound filter); timeMs: when it
    // came, where the caller has read the clock already.
    void historyLine(const QString &label, const QString &message, bool hidden = false,
                     std::optional<qint64> timeMs = std::nullopt);
    // Held lines shown on unpausing were kept when they came.
    void setReplaying(bool replaying) { m_replaying = replaying; }
    // A channel's last lines from the history, when the setting asks for
    // them; shown dimmed under a separator, with no other effect.
    QVector<THistory::Line> earlierLinesOf(const QString &channel);
    void showEarlierLines(const QString &channel, const QVector<THistory::Line> &lines);
    // Starts the history or hands it the Advanced tab's limits.
    void applyHistorySettings();
    THistoryStore *historyStore() const { return m_history; }
    // Shows the "History" window (Ctrl+Shift+F, "History"), searching a
    // member's lines from the user list's and the squelch list's menus.
    void HistoryClick();
    void openHistoryFor(const QString &member);
    THistoryWindow *historyWindow() const { return m_historyWindow; }

private:
    Tmain &w;
    THistoryStore *m_history = nullptr; // a child of this
    THistoryWindow *m_historyWindow = nullptr;
    bool m_replaying = false;
    // The last talk and whisper labels read, and how they read.
    struct LastTalk {
        QString label;
        THistory::Kind kind = THistory::Kind::Talk;
        QString sender;
    };
    std::array<LastTalk, 8> m_lastTalk;
    int m_nextTalk = 0;
};
