#pragma once
// Web addresses in a transcript line and whether a line names the user:
// plain text rules, applied to what the pane shows.
#include <QList>
#include <QString>
#include <QStringView>
#include <QUrl>

struct TLinkSpan {
    int start;
    int length;
    // What a click opens: the text itself, "http://" put before a bare
    // "www." address.
    QUrl url() const;
    QString text;
};

namespace TLinks {
// The http://, https:// and www. addresses in text, in order. An address
// starts a word (nothing but punctuation before it), runs to the next
// space or control character, and leaves off trailing punctuation that
// ends the sentence (a closing bracket stays when the address opened one).
QList<TLinkSpan> find(QStringView text);
// Whether text names `name` as a whole word, without case: the characters
// on either side of it are not letters, digits or "_".
bool mentions(QStringView text, QStringView name);
// The same for a text and a name of ASCII alone, without Qt's case folding
// (every line is asked, and this is several times faster).
bool mentionsAscii(QStringView text, QStringView name);
bool isAscii(QStringView text);
} // namespace TLinks
