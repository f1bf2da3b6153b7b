#pragma once
// A scroll bar that is painted again only when what it shows changes. A
// pane that follows a busy channel moves its range and value with every
// frame, and a plain QScrollBar repaints itself each time, though its handle
// has long stopped moving by a pixel: in the Fusion style that repaint fills
// the tall groove with a gradient, which Qt's raster engine splits across
// its worker threads, waking them on every frame.
//
// While a transcript is young its handle does change with every line (it
// shrinks as the range grows). In the Fusion style the groove does not
// depend on where the handle is, so it is drawn once into a picture of its
// own, and a change paints that picture with the handle and the arrows
// over it, drawn in bands short enough that Qt fills them on the window's
// own thread; a band is kept for as long as the handle near it is the same.
// Away from the arrows the handle's ends look alike wherever it is and
// however long: they are drawn once and copied to where the handle is. A
// change repaints only the rows it changes.
#include <QHash>
#include <QImage>
#include <QRect>
#include <QRegion>
#include <QScrollBar>
#include <QStyleOptionSlider>
#include <optional>

class TStillScrollBar : public QScrollBar {
public:
    explicit TStillScrollBar(Qt::Orientation orientation, QWidget *parent = nullptr);

    // Range (from 0), page step and value set as one change, which is
    // painted once if at all.
    void setAll(int maximum, int pageStep, std::optional<int> value);

    // Times the bar was painted, and bands of it the style drew (the tests
    // count them).
    int paints() const { return m_paints; }
    int drawnBands() const { return m_drawnBands; }

protected:
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;

private:
    // What the bar's picture depends on of its range and value.
    struct Look {
        QRect handle;
        bool empty = false;
        bool atStart = false;
        bool atEnd = false;
        bool operator==(const Look &o) const
        {
            return handle == o.handle && empty == o.empty && atStart == o.atStart &&
                   atEnd == o.atEnd;
        }
    };
    Look look() const;
    bool transient() const;
    // Paints a vertical bar from the groove's picture and the handle; false
    // where the style, the bar's direction or its state (the mouse on it,
    // the handle held) asks for the plain painting.
    bool paintOverGroove(const QRect &asked);
    // What the groove's picture was drawn for.
    struct GrooveKey {
        QSize size;
        qreal dpr = 0;
        int state = 0;
        Qt::LayoutDirection direction = Qt::LeftToRight;
        qint64 palette = 0;
        bool atStart = false;
        bool atEnd = false;
        bool operator==(const GrooveKey &o) const
        {
            return size == o.size && dpr == o.dpr && state == o.state && direction == o.direction &&
                   palette == o.palette && atStart == o.atStart && atEnd == o.atEnd;
        }
    };
    // Makes the rows of picture asked for: the groove with the handle and
    // the arrows of a vertical bar over it.
    void paintBands(QImage &picture, QStyleOptionSlider &option, int band, const QRect &asked);
    // The rows around a handle's upper and lower ends, drawn for a handle
    // in the middle of the groove (see paintBands); false where the groove
    // has no room for one clear of the arrows.
    bool drawnEnds(const QStyleOptionSlider &option, const QRect &subLine, const QRect &addLine);
    // Copies the handle's ends (and inner rows) over rows top to bottom of
    // picture, for a handle at handle.
    void putEnds(QImage &picture, int top, int bottom, const QRect &handle) const;
    // Rows of the bar that differ between two looks of it, for a repaint
    // (empty: all of it).
    QRegion changedRows(const Look &from, const Look &to) const;
    QImage m_groove;
    QImage m_picture; // the groove with the handle over it, as last painted
    GrooveKey m_grooveKey;
    QHash<quint64, QImage> m_bands; // drawn bands of the vertical bar (see paintBands)
    // The handle's ends as drawnEnds drew them (from two rows above the
    // upper end to its first inner row, and from the lower end's last
    // inner row to two rows below it); m_endsKnown: drawn or found not
    // to fit, for the groove in m_groove.
    QImage m_upperEnd, m_lowerEnd;
    bool m_endsKnown = false;
    int m_alikeFirst = 0, m_alikeLast = -1; // rows where the groove is alike
    int m_grooveStyle = -1;                 // 1: the style draws the groove apart from the handle
    // The style's view of the bar, made again after any event but a
    // paint: between them only the numbers change (set in look()).
    mutable QStyleOptionSlider m_option;
    mutable bool m_optionKnown = false;
    mutable int m_transient = -1; // the style's answer, until it changes

    Look m_painted;
    bool m_known = false;      // m_painted is what the screen shows
    bool m_overGroove = false; // and it was painted over the groove
    int m_paints = 0;
    int m_drawnBands = 0;
    bool m_batch = false;   // inside setAll
    bool m_changed = false; // something changed inside it
};
