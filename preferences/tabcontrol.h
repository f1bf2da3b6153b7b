#pragma once
// A tab control whose tabs wrap onto as many rows as the width needs, the
// row holding the current tab always next to the page, instead of one row
// that scrolls and hides some of the tabs.
#include <QTabBar>
#include <QTabWidget>
#include <QVector>

class TMultiRowTabBar : public QTabBar {
    Q_OBJECT
public:
    explicit TMultiRowTabBar(QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // The height of the rows the tabs take when the bar is width wide.
    int heightForWidth(int width) const override;

    // Where tab index is drawn and takes clicks, for the bar's present width.
    QRect rowTabRect(int index) const;
    int rowTabAt(const QPoint &pos) const;
    int rowCount() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    bool event(QEvent *event) override;
    void tabLayoutChange() override;

private:
    struct Rows {
        QVector<int> rowOf;  // fill row of each tab
        QVector<QRect> rect; // of each tab
        int count = 0;
        int height = 0;
    };
    // The tabs wrapped to width, with the current tab's row at the bottom.
    Rows rowsFor(int width) const;
    int layoutWidth() const;

    int m_hover = -1;
};

class TTabControl : public QTabWidget {
    Q_OBJECT
public:
    explicit TTabControl(QWidget *parent = nullptr);
    TMultiRowTabBar *rows() const { return m_bar; }
    // Where the pages lie when the control is size big, with the tabs
    // wrapped to that width.
    QRect pageRect(const QSize &size) const;
    // Puts the page at index into a scroll area that scrolls it up and
    // down, keeping its caption and picture; its width stays its own.
    void scrollPage(int index);

private:
    TMultiRowTabBar *m_bar;
};
