#pragma once
// Reading a chat log Tressel wrote back into history lines. The log holds
// what the chat pane showed: a header line with the date it was created,
// then one transcript line per line, with a time stamp in square brackets
// when time stamps were on (the locale's long time format).
#include "history/historytypes.h"

#include <functional>

namespace THistoryImport {

struct Parsed {
    QByteArray source; // what the log is known by: the hash of its header line
    QVector<THistory::Line> lines;
    QVector<int> lineNumbers; // each line's number in the file, from 1
    int unreadable = 0;       // lines that are not a transcript line
    QString error;            // not a chat log at all
};

// decode turns bytes into text as the panes show it.
Parsed parseChatLog(const QByteArray &bytes,
                    const std::function<QString(const QByteArray &)> &decode);

} // namespace THistoryImport
