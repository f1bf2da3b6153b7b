#include "history/historylabels.h"

namespace THistory {

namespace {

// A label of the form prefix + name + "> ".
bool named(const QString &label, QLatin1String prefix, QString &name)
{
    if (!label.startsWith(prefix) || !label.endsWith(QLatin1String("> ")) ||
        label.size() < prefix.size() + 2)
        return false;
    name = label.mid(prefix.size(), label.size() - prefix.size() - 2);
    return true;
}

// "NAME joined the channel." and the like: the name, when text is one.
bool memberNotice(const QString &text, QLatin1String tail, QString &name)
{
    if (!text.endsWith(tail))
        return false;
    const QString found = text.left(text.size() - tail.size());
    if (found.isEmpty() || found.contains(QLatin1Char(' ')))
        return false;
    name = found;
    return true;
}

} // namespace

LabelReading readLabel(const QString &label, const QString &message)
{
    LabelReading r;
    r.text = message;
    if (label.startsWith(QLatin1Char('<'))) {
        if (named(label, QLatin1String("<From: "), r.sender) ||
            named(label, QLatin1String("<Recieved Whisper From: "), r.sender)) {
            r.kind = Kind::WhisperReceived;
            return r;
        }
        if (named(label, QLatin1String("<To: "), r.sender) ||
            named(label, QLatin1String("<Sent Whisper To: "), r.sender)) {
            r.kind = Kind::WhisperSent;
            return r;
        }
        if (label.endsWith(QLatin1Char('>')) && label.size() > 2) {
            r.kind = Kind::Talk;
            r.sender = label.mid(1, label.size() - 2);
            return r;
        }
    }
    // An emote is its label alone: "* " + name + " " + text + " *".
    if (label.startsWith(QLatin1String("* ")) && label.endsWith(QLatin1String(" *")) &&
        message.isEmpty()) {
        const QString inner = label.mid(2, label.size() - 4);
        const int blank = inner.indexOf(QLatin1Char(' '));
        r.kind = Kind::Emote;
        r.sender = blank < 0 ? inner : inner.left(blank);
        r.text = blank < 0 ? QString() : inner.mid(blank + 1);
        return r;
    }
    const QString word = label.trimmed();
    if (word == QLatin1String("Info:")) {
        if (memberNotice(message, QLatin1String(" joined the channel."), r.sender))
            r.kind = Kind::Join;
        else if (memberNotice(message, QLatin1String(" left the channel."), r.sender))
            r.kind = Kind::Leave;
        else
            r.kind = Kind::Info;
    } else if (word == QLatin1String("Error:") || word == QLatin1String("Warning:")) {
        r.kind = Kind::Error;
    } else if (word == QLatin1String("Broadcast:")) {
        r.kind = Kind::Broadcast;
    } else if (word == QLatin1String("Console:")) {
        r.kind = Kind::Console;
    }
    return r;
}

} // namespace THistory
