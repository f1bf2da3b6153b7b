#pragma once
// The find bar that floats over the chat pane: a text field, "Match case",
// previous and next, "n of m" and a close button. Enter and Shift+Enter go
// to the next and previous match, Escape closes the bar.
#include <QFrame>

class QCheckBox;
class QLabel;
class QLineEdit;
class QToolButton;

class TFindBar : public QFrame {
    Q_OBJECT
public:
    explicit TFindBar(QWidget *parent = nullptr);

    QLineEdit *field() const { return m_field; }
    QCheckBox *matchCase() const { return m_matchCase; }
    QLabel *countLabel() const { return m_count; }
    QString text() const;
    Qt::CaseSensitivity caseSensitivity() const;

    // "n of m", "No matches" or nothing (no text).
    void showCount(int current, int total);
    // Shows the bar across the top of its parent and takes the focus.
    void open();
    // Puts the bar back in its place after the parent changed size.
    void place();

Q_SIGNALS:
    void searchEdited(); // the text or "Match case" changed
    void nextRequested();
    void previousRequested();
    void closeRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    // Escape anywhere in the bar closes it; Enter on a button presses it.
    void keyPressEvent(QKeyEvent *event) override;

private:
    QLineEdit *m_field;
    QCheckBox *m_matchCase;
    QLabel *m_count;
    QToolButton *m_previous, *m_next, *m_close;
};
