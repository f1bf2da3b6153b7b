#pragma once
// A transcript pane that stays fast however long the transcript grows.
//
// The lines and their colours are kept by a TTranscriptStore (one arena, no
// object per line). Only the lines on screen are wrapped and painted, and
// the scroll bar counts logical lines, so resizing, scrolling and appending
// cost the same with ten lines or a million. Appends only record the line;
// the scroll range is brought up to date once per pass of the event loop,
// and painting is coalesced by Qt.
#include "rules/links.h"
#include "rules/transcriptsearch.h"
#include "rules/transcriptstore.h"
#include "widgets/plainglyphs.h"
#include "widgets/ttranscriptpane.h"

#include <QAbstractScrollArea>
#include <QFont>
#include <QHash>
#include <QList>
#include <QRect>
#include <QUrl>

class TFramePacer;

class TTranscriptView : public QAbstractScrollArea, public TTranscriptPane {
    Q_OBJECT
public:
    explicit TTranscriptView(QWidget *parent = nullptr);
    ~TTranscriptView() override;

    QWidget *widget() override { return this; }
    void appendLine(const QString &text, const QList<TColourRun> &runs) override;
    void appendPlainLine(const QString &text) override;
    void clear() override;
    int lineCount() const override { return m_store.lineCount(); }
    QString lineText(int line) const override;
    QColor colourAt(int line, int column) const override;
    QString plainText() const override;
    QString selectedText() const override;
    bool hasSelection() const override;
    void selectAll() override;
    void clearSelection() override;
    void copy() override;
    void setDefaultTextColour(const QColor &c) override;
    QColor defaultTextColour() const override { return m_defaultColour; }
    void setBackground(const QColor &c) override;
    QColor background() const override { return m_background; }
    bool isScrolledToEnd() const override { return m_atEnd; }

    // Bytes held by the line store (text, line index, colours), spare
    // capacity included.
    qsizetype storeBytes() const { return m_store.bytes(); }
    // The part of that in use (what the lines themselves take).
    qsizetype storeBytesUsed() const { return m_store.bytesUsed(); }
    // Where the character at column of line is drawn, in viewport
    // coordinates (column == length gives the end of the line); empty when
    // that line is not on screen.
    QRect characterRect(int line, int column) const;

    // Marked lines (those that mention the user) get this background.
    void markLine(int line);
    // Puts c in place of one character of a line (a mark that changes as
    // its line's state does); false when it could not.
    bool replaceChar(int line, int column, QChar c);
    bool isMarked(int line) const { return m_store.isMarked(line); }
    void setMarkColour(const QColor &c);

    // Web addresses drawn as links: a click hands one to linkActivated.
    void setLinksShown(bool on);
    bool linksShown() const { return m_linksShown; }
    // The address under a point of the viewport, if there is one.
    bool linkAt(const QPoint &viewportPos, TLinkSpan &link) const;

    // Searching: every match on screen is highlighted, the current one
    // more strongly. setSearch finds them all again; matches in lines
    // appended while a search is set are added as the lines come.
    void setSearch(const QString &needle, Qt::CaseSensitivity cs);
    void clearSearch();
    const TTranscriptSearch &search() const { return m_search; }
    // Makes a match current and scrolls it into view (when it is not in
    // view already); -1 makes none current.
    void goToMatch(int index);
    // The first line wholly on screen.
    int topLine() const;
    // Keeps a strip of this height free above the text (for the find bar).
    void reserveTop(int pixels) { setViewportMargins(0, pixels, 0, 0); }

    // Held, new lines do not move the view or drop the selection; a marker
    // says when some arrived below what is shown. Let go, the pane goes
    // back to bringing itself to its end on every new line.
    void setHoldView(bool hold);
    bool holdsView() const { return m_hold; }
    bool newLinesBelow() const { return held() && m_newBelow && !lastLineShown(); }

    // Reading with the keyboard and a screen reader. The pane keeps a
    // reading caret (the moving end of the selection): arrows, PageUp,
    // PageDown, Home and End move it, with Shift they select. Once the
    // caret has been moved, and until the focus leaves the pane, new lines
    // leave the view and the caret alone, as while the find bar is open. Offsets count the
    // transcript as one text whose lines are joined by a line feed (rules/transcripttext.h).
    const TTranscriptStore &store() const { return m_store; }
    qint64 caretOffset() const;
    int caretLine() const { return m_cursor.line; }
    void setCaretOffset(qint64 offset);
    // The selection as offsets; false when nothing is selected.
    bool selectionOffsets(qint64 &start, qint64 &end) const;
    void setSelectionOffsets(qint64 start, qint64 end);
    // Scrolls so that line is wholly in view (when it is not already).
    void showLine(int line);
    // The offset under a point of the viewport; -1 beside the text.
    qint64 offsetAt(const QPoint &viewportPos) const;
    // Where the character at offset is drawn, in viewport coordinates;
    // empty when it is not on screen.
    QRect offsetRect(qint64 offset) const;
    // Scrolling asked for from elsewhere (the input line's page keys).
    void scrollPages(int pages);
    void scrollToStart();
    void scrollToEnd();

Q_SIGNALS:
    void linkActivated(const QUrl &url);
    // Matches were added or the current one changed.
    void searchChanged();
    // Escape in the pane: the reader is done here.
    void escapePressed();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    using Run = TTranscriptStore::Run;
    using LineRef = TTranscriptStore::LineRef;
    struct Pos {
        int line = 0;
        int column = 0;
        bool operator==(const Pos &o) const { return line == o.line && column == o.column; }
        bool operator!=(const Pos &o) const { return !(*this == o); }
        bool operator<(const Pos &o) const
        {
            return line < o.line || (line == o.line && column < o.column);
        }
    };
    // One line on screen: its top and where each of its rows starts.
    struct Shown {
        int line;
        int y;
        QList<int> rowStarts;
    };

    void lineAppended();
    bool held() const { return m_hold || m_readingHold; }
    // Moves the reading caret (keepAnchor: selecting) and tells a screen
    // reader.
    void moveCaret(const Pos &to, bool keepAnchor);
    bool readingKey(QKeyEvent *event);
    // Lines appended since the last frame, told to a screen reader at once.
    void tellInserted();
    void tellCaret();
    // The first link on the caret's line, at or after the caret if any.
    bool linkAtCaret(TLinkSpan &link) const;
    int visibleLines() const;
    void scheduleSync();
    void syncScrollRange();
    void repaintLater();
    // The whole pane is painted again: something other than new lines at
    // the end changed what it shows.
    void repaintAll();
    // New lines at the end: the picture already drawn moves up and only the
    // strip below it is painted; false when that cannot show the same.
    bool scrollPicture();
    void fontChanged();

    LineRef lineRef(int line) const { return m_store.line(line); }
    int lineLength(int line) const { return m_store.lineLength(line); }
    // How far the character at k moves the pen (the second half of a
    // surrogate pair: nothing, the pair is measured at its first half).
    qreal advanceAt(const LineRef &l, int k) const;
    qreal wideAdvance(char32_t c) const;
    qreal wrapWidth() const;
    void wrapLine(int line, QList<int> &rowStarts) const;
    void ensureShown() const;
    void invalidateShown() { m_shownValid = false; }
    void paintLine(class QPainter &p, const Shown &s, const QRect &exposed, const QColor &hlBack,
                   const QColor &hlText) const;
    // Fills the columns [from, to) of a shown line, row by row.
    void fillColumns(class QPainter &p, const Shown &s, int from, int to, const QColor &colour,
                     bool outline = false) const;
    void paintReadingCaret(class QPainter &p) const;
    void paintNewLinesMarker(class QPainter &p) const;
    bool lastLineShown() const;

    // nearest: the nearest gap between characters; otherwise the character
    // under the point (column -1 beside the text).
    Pos posAt(const QPoint &pt, bool nearest = true) const;
    Pos selStart() const { return m_cursor < m_anchor ? m_cursor : m_anchor; }
    Pos selEnd() const { return m_cursor < m_anchor ? m_anchor : m_cursor; }
    void setSelection(const Pos &anchor, const Pos &cursor);
    void copyToSelectionClipboard() const;

    TTranscriptStore m_store;

    QColor m_defaultColour;
    QColor m_background;

    // Drawing font and its metrics in logical pixels.
    QFont m_drawFont;
    // Pieces of text drawn without shaping where shaping changes nothing.
    mutable TPlainGlyphs m_plainGlyphs;
    mutable QVector<qreal> m_pieceX;
    mutable QGlyphRun m_pieceRun;
    qreal m_advance[256] = {};
    mutable QHash<char32_t, qreal> m_wideAdvance; // characters above U+00FF, as met
    int m_rowHeight = 1;
    int m_ascent = 1;

    bool m_atEnd = true;
    bool m_syncQueued = false;
    TFramePacer *m_syncPacer = nullptr;
    bool m_syncing = false;
    bool m_paintingAll = false; // inside a paint of the whole viewport

    Pos m_anchor;
    Pos m_cursor;
    bool m_dragging = false;

    mutable QList<Shown> m_shown;
    mutable bool m_shownValid = false;
    // Rows of lines already wrapped at m_wrapWidth: the lines at the end are
    // wrapped again in every frame that brings a line.
    mutable QHash<int, QList<int>> m_wrapped;
    mutable qreal m_wrapWidth = -1;

    // What the pixels show: where each line was drawn by the last paint of
    // the whole pane (moved along when the picture is scrolled), valid while
    // nothing else was asked to change since.
    struct Drawn {
        int line;
        int y;
        int rows;
        bool operator==(const Drawn &o) const
        {
            return line == o.line && y == o.y && rows == o.rows;
        }
    };
    QList<Drawn> drawnNow() const;
    QList<Drawn> m_picture;
    bool m_pictureValid = false;
    bool m_stripPending = false; // a strip asked for and not painted yet
    bool m_inPaint = false;

    QColor m_markColour; // the mention colour setting's start value until one is set
    bool m_linksShown = false;
    bool m_pressOnLink = false;
    TLinkSpan m_pressedLink;
    TTranscriptSearch m_search;
    bool m_hold = false;
    bool m_readingHold = false; // the pane has the focus
    int m_insertedFrom = -1;    // first line not yet told to a screen reader
    bool m_newBelow = false;
};
