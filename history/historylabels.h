#pragma once
// What a transcript line is, read from the label the window writes it
// with: the kind, whom it is from (or to) and its text, all still bytes.
#include "history/historytypes.h"

namespace THistory {

struct LabelReading {
    Kind kind = Kind::Info;
    QString sender; // bytes; empty for the server's and the client's own lines
    QString text;   // bytes
};

// label and message as writeLine takes them (bytes, one per char).
LabelReading readLabel(const QString &label, const QString &message);

} // namespace THistory
