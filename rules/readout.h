#pragma once
// Which new transcript lines a screen reader is asked to speak, and what it
// says about lines that were held while chat was paused. The window gives
// every line it shows; what is to be spoken is gathered and said once a
// display frame, as one announcement.
#include <QString>
#include <QStringList>

class TReadOut {
public:
    enum class Level { All, Important, None };
    // The choices of the "Read out new lines" setting, in Level's order.
    static QStringList levelNames();

    struct Line {
        QString text;         // the line as shown
        bool whisper = false; // a whisper, received or sent
        bool mention = false; // it names the user
        bool own = false;     // the client's own Console, Error or Warning line
    };

    void setLevel(Level level) { m_level = level; }
    Level level() const { return m_level; }

    // A line was shown; false when it is not to be spoken.
    bool add(const Line &line);
    // A line held while chat is paused (nothing is spoken for it now).
    void hold(const Line &line);
    // Chat was unpaused: one sentence on how many lines were held and how
    // many of them were whispers and mentions, gathered for the next
    // announcement (none when nothing was held or nothing is spoken).
    void released();
    // What is waiting to be spoken, taken away; empty when nothing is.
    QString take();
    bool pending() const { return !m_waiting.isEmpty(); }

private:
    Level m_level = Level::Important;
    QStringList m_waiting;
    int m_held = 0;
    int m_heldWhispers = 0;
    int m_heldMentions = 0;
};
