#pragma once
// The gateway's censor turns rude words into strings of symbols; the
// anticensor turns them back.
#include <QString>
#include <array>
#include <cstddef>

struct tAntiCensor {
    QString censored; // the form the gateway delivers: only ! @ # $ % &, as long as the word
    QString word;     // in lower case
};

constexpr int antiCensorPairs = 29;
using tAntiCensorTable = std::array<tAntiCensor, antiCensorPairs>;

// The pairs, in the order they are tried.
tAntiCensorTable makeAntiCensorTable();

// Rewrites every censored form in text that the pairs know, trying them in
// order. Each pair's case is judged once, from its first occurrence in the
// text as received: a capital letter two characters before or after it (the
// neighbouring words' letters, past the spaces) brings the word back in
// capitals, and all its occurrences take that case.
QString applyAntiCensor(const tAntiCensor *pairs, std::size_t count, const QString &text);

inline QString applyAntiCensor(const tAntiCensorTable &table, const QString &text)
{
    return applyAntiCensor(table.data(), table.size(), text);
}
