#pragma once
// Several lines in the one-line input. A paste keeps its line breaks, each
// shown as a marker, until Enter sends the lines one by one; a break can
// therefore never reach the wire inside a line.
#include <QStringList>
#include <QValidator>

namespace TInputBreaks {

// What stands for a line break in the input line: the return arrow.
constexpr char16_t marker = u'\u21B5';

// text with every line break (CR LF, CR, LF, and the Unicode line and
// paragraph separators) turned into one marker; *cursor, when given, moves
// with the text.
QString mark(const QString &text, int *cursor = nullptr);

// The lines of an input text: its pieces between markers.
QStringList linesOf(const QString &text);

// Every line break, in any text, as one space (for lines the client puts
// together from settings and names, where a second line would be talk).
QString breaksToSpaces(const QString &text);

} // namespace TInputBreaks

// Marks the breaks of whatever enters a line edit: typing, pasting,
// dropping, or the program setting its text.
class TLineBreakValidator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString &input, int &pos) const override;
};
