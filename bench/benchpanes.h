#pragma once
// The transcript panes a benchmark run can put into the main window: the
// program's own line store, and two built on Qt's text widgets as baselines.
// Each reports every appended line to a probe, which times the flood.
#include "widgets/TTranscriptView.h"
#include "widgets/ttranscriptpane.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <functional>

// Sees every line the chat pane is given.
struct TFloodProbe {
    std::function<void(const QString &text)> onAppend;
    void appended(const QString &text) const
    {
        if (onAppend)
            onAppend(text);
    }
};

// The program's own pane, counted.
class TProbedView : public TTranscriptView {
public:
    TProbedView(QWidget *parent, const TFloodProbe *probe) : TTranscriptView(parent), m_probe(probe)
    {
    }
    void appendLine(const QString &text, const QList<TColourRun> &runs) override;

private:
    const TFloodProbe *m_probe;
};

// What the two Qt widget panes share: lines are blocks of a QTextDocument,
// colours are character formats.
class TTextWidgetPane : public TTranscriptPane {
public:
    TTextWidgetPane(QAbstractScrollArea *widget, QTextDocument *doc, const TFloodProbe *probe);

    QWidget *widget() override { return m_widget; }
    void appendPlainLine(const QString &text) override { appendLine(text, {}); }
    int lineCount() const override;
    QString lineText(int line) const override;
    QColor colourAt(int line, int column) const override;
    QString plainText() const override;
    void setDefaultTextColour(const QColor &c) override { m_default = c; }
    QColor defaultTextColour() const override { return m_default; }
    void setBackground(const QColor &c) override;
    QColor background() const override { return m_background; }
    bool isScrolledToEnd() const override;

protected:
    // Inserts the line at the end of the document; returns the position of
    // its first character.
    int insertLine(const QString &text, const QList<TColourRun> &runs);

    QAbstractScrollArea *m_widget;
    QTextDocument *m_doc;
    const TFloodProbe *m_probe;
    QColor m_default{Qt::black};
    QColor m_background{Qt::white};
    bool m_empty = true;
};

// QTextEdit as a rich-text pane is used plainly: the caret goes to the new
// line and is scrolled into view after every line.
class TTextEditPane : public TTextWidgetPane {
public:
    TTextEditPane(QWidget *parent, const TFloodProbe *probe);
    void appendLine(const QString &text, const QList<TColourRun> &runs) override;
    void clear() override;
    QString selectedText() const override;
    bool hasSelection() const override;
    void selectAll() override { m_edit->selectAll(); }
    void clearSelection() override;
    void copy() override { m_edit->copy(); }

private:
    QTextEdit *m_edit;
};

// QPlainTextEdit at its best: one edit block per line, no caret moves, and
// the scroll to the end once per pass of the event loop.
class TPlainTextEditPane : public TTextWidgetPane {
public:
    TPlainTextEditPane(QWidget *parent, const TFloodProbe *probe);
    void appendLine(const QString &text, const QList<TColourRun> &runs) override;
    void clear() override;
    QString selectedText() const override;
    bool hasSelection() const override;
    void selectAll() override { m_edit->selectAll(); }
    void clearSelection() override;
    void copy() override { m_edit->copy(); }

private:
    QPlainTextEdit *m_edit;
    bool m_scrollQueued = false;
};
