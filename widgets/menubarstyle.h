#pragma once
// Qt's menu bar shows a top-level item's icon instead of its caption; the
// main menu shows both, the image left of the caption.
#include <QProxyStyle>

class TMenuBarStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                           const QWidget *widget) const override;
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override;
};
