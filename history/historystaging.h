#pragma once
// A flood's lines as the writer first stores them: many rows in one value
// of the staged table (see THistoryStore), read back and put into the
// lines table, with its indexes, once the flood is over. Packing them this
// way is what lets the writer keep up with a flood: one row written for
// thousands of lines, and no index touched.
#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <vector>

namespace THistoryStaging {

// A line as the lines table stores it: its place and sender by their ids
// (0: none), its kind with the flags.
struct Row {
    qint64 timeMs = 0;
    qint64 place = 0;
    qint64 sender = 0;
    int kind = 0;
    QString text;
    QByteArray raw; // null: none
};

// The first byte of a value that holds a flood's lines as the window
// handed them to the writer: THistoryQueue's records, little-endian, not
// yet decoded (written only where this machine is little-endian).
constexpr char recordsFormat = 2;

// Adds a row to a packed value (an empty one is begun).
void append(QByteArray *packed, const Row &row);

// The rows of a packed value, in the order appended; false when it is not
// one this code wrote (cut short, another format), with rows left empty.
bool unpack(const QByteArray &packed, std::vector<Row> *rows);

} // namespace THistoryStaging
