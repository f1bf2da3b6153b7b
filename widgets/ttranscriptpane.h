#pragma once
// What the main window needs from a transcript pane (chat or whisper).
// Kept abstract so the pane's implementation can be swapped without touching
// the handlers that write lines.
#include "rules/colourrun.h"

#include <QColor>
#include <QList>
#include <QString>

class QWidget;

class TTranscriptPane {
public:
    virtual ~TTranscriptPane() = default;

    // The widget to place and style; fonts via widget()->setFont(), the
    // context menu policy is set by the owner.
    virtual QWidget *widget() = 0;

    // Appends one line; runs colour consecutive characters from the start of
    // the text, any rest takes the default colour. Drops the selection and
    // brings the pane to its end.
    virtual void appendLine(const QString &text, const QList<TColourRun> &runs) = 0;
    // Appends one line in the default text colour as it is now.
    virtual void appendPlainLine(const QString &text) = 0;
    virtual void clear() = 0;

    virtual int lineCount() const = 0;
    virtual QString lineText(int line) const = 0;
    // Colour of one character as stored; invalid outside the text.
    virtual QColor colourAt(int line, int column) const = 0;
    // All lines joined by CR LF, none after the last.
    virtual QString plainText() const = 0;

    // The selected text, lines joined by LF.
    virtual QString selectedText() const = 0;
    virtual bool hasSelection() const = 0;
    virtual void selectAll() = 0;
    virtual void clearSelection() = 0;
    // The selection to the clipboard as plain text.
    virtual void copy() = 0;

    // Applies to lines appended later by appendPlainLine.
    virtual void setDefaultTextColour(const QColor &c) = 0;
    virtual QColor defaultTextColour() const = 0;
    virtual void setBackground(const QColor &c) = 0;
    virtual QColor background() const = 0;

    // True when the last line is in view, as the user will see it once the
    // pending repaint has happened.
    virtual bool isScrolledToEnd() const = 0;
};
