#pragma once
// A transcript line as coloured segments, "colour:text" each, so a test can
// compare a whole line's look in one go.
#include "widgets/ttranscriptpane.h"

#include <QStringList>

inline QStringList segments(TTranscriptPane *pane, int line)
{
    QStringList out;
    const QString text = pane->lineText(line);
    QString run;
    QColor colour;
    for (int i = 0; i < text.size(); ++i) {
        const QColor c = pane->colourAt(line, i);
        if (i > 0 && c != colour) {
            out << colour.name() + QLatin1Char(':') + run;
            run.clear();
        }
        colour = c;
        run += text.at(i);
    }
    if (!run.isEmpty())
        out << colour.name() + QLatin1Char(':') + run;
    return out;
}

inline QStringList lastSegments(TTranscriptPane *pane)
{
    return pane->lineCount() > 0 ? segments(pane, pane->lineCount() - 1) : QStringList();
}

inline QString seg(const QColor &colour, const QString &text)
{
    return colour.name() + QLatin1Char(':') + text;
}
