#pragma once
// Says something to a screen reader without moving the focus. Qt 6.4 has
// no announcement event, so this is a small object of the notification
// role placed in the window: an announcement becomes its name, and it is
// reported shown again and renamed, which screen readers speak as they
// speak a notification that appears. Announcements asked for in one
// display frame are said together, once; nothing is done while no
// assistive technology listens.
#include <QString>
#include <QWidget>

#include <functional>

class TFramePacer;

class TAnnouncer : public QWidget {
    Q_OBJECT
public:
    explicit TAnnouncer(QWidget *parent);

    // Work that gives the text to say, run once in the next display frame
    // when an assistive technology listens.
    void request();
    // What the next frame's announcement is taken from.
    std::function<QString()> takeText;

    // The last announcement (its accessible name).
    QString text() const { return m_text; }

Q_SIGNALS:
    void announced(const QString &text);

private:
    void announce();
    TFramePacer *m_pacer = nullptr;
    QString m_text;
};
