#pragma once
// What a trigger phrase would do before it is used on people: whether it
// compiles, whether it matches a sample line, which of the stored judged
// lines it matches, and the automatic squelch's verdict on the sample with
// the phrase added to the list. The verdict is lineVerdict() itself.
#include "rules/autosquelchrules.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace triggertester {

// A talk or emote line the automatic squelch judged (bytes).
struct JudgedLine {
    QString name, text;
};

enum class Found { No, Yes, GaveUp };

struct Result {
    bool empty = true;   // no pattern was given
    bool valid = false;  // the pattern compiles
    QString error;       // the engine's message when it does not
    int errorOffset = 0; // 0-based, in characters
    Found sample = Found::No;
    std::vector<int> matchedLines; // indices into the lines, oldest first
    int gaveUpLines = 0;           // lines the engine gave up on
    // The reason words ("" passes); verdictGaveUp: a phrase (the tested one
    // or one of the list) made the engine give up on the sample.
    QString verdict;
    bool verdictGaveUp = false;
};

// The search a trigger makes, with the engine's giving up told apart.
Found search(const QRegularExpression &re, const QString &text);

// pattern and phrases are characters; sampleBytes and the lines are bytes.
// The verdict is found with a cache of its own, so that a phrase the
// engine gives up on is told every time.
Result evaluate(const QString &pattern, const QString &sampleBytes, const QStringList &phrases,
                const autosquelchrules::TLineRules &rules, const std::vector<JudgedLine> &lines);

// "would squelch: <reason>" or "would pass".
QString verdictText(const Result &result);

} // namespace triggertester
