#pragma once
// Lines that fit the server. A server of this protocol refuses a line that
// fills its flood quota on its own and any line over 200 bytes, so a long
// typed line is cut into pieces the server takes. Everything here works on
// byte strings (one byte per QChar), the form lines have on the wire.
#include <QString>
#include <QStringList>

namespace TWire {

// The longest line the server takes, CR not counted: at most 200 bytes,
// and short enough to cost fewer units than the quota holds.
int lineLimit(int quotaUnits, int bytesPerUnit);

enum class Mode {
    Plain, // the pieces follow a prefix of their own (a whisper, an emote)
    Talk,  // the pieces are talk lines of their own
};

// Cuts bytes into pieces of at most limit bytes. Cuts fall at spaces, which
// are dropped there; a word longer than the limit is cut between two
// characters, never inside one (a well-formed UTF-8 sequence is one
// character, every other byte is one). In Talk mode a piece after the first
// that would begin with "/" begins with a space instead, so that the server
// does not take it for a command. No piece is made of spaces only: leading
// spaces that leave no room for anything else after them are dropped, as
// are trailing ones. No pieces for empty bytes or bytes of spaces only, nor
// when a character is longer than the limit leaves room for.
QStringList splitForWire(const QString &bytes, int limit, Mode mode = Mode::Plain);

struct Plan {
    enum Outcome {
        Fits,      // the line goes as it is
        Split,     // the line goes as the pieces in lines
        TooLong,   // a command that cannot be split
        TooNarrow, // the limit leaves no room for a character after the command
    };
    Outcome outcome = Fits;
    QStringList lines; // Fits and Split: what to send, in order
};

// How one line goes to the server within limit. Talk is split as talk;
// whispers ("/m", "/msg", "/w", "/whisper" with a name and a text) and
// emotes ("/me", "/emote" with a text) are split with the command (and
// the name) repeated in every piece; any other command over the limit is
// TooLong. Commands are matched as the server does, in any case.
Plan planLine(const QString &line, int limit);

} // namespace TWire
