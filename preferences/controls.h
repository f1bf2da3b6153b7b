#pragma once
// The small control kinds the settings are made of: a colour box of twenty
// named colours, a spin box that clamps into its range, a drop-down list
// that may have no entry selected, and an edit box for a byte string.
#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QStringList>
#include <QStyleOptionButton>
#include <QValidator>

#include "core/textcodec.h"

class TColourBox : public QComboBox {
    Q_OBJECT
public:
    explicit TColourBox(QWidget *parent = nullptr);

    // The twenty colours every box offers, in list order.
    static QString colourName(int index);
    static QColor colourValue(int index);

    QColor selected() const;
    QString selectedName() const;
    // Selects the entry called exactly name; false (and nothing changed)
    // when there is none.
    bool selectName(const QString &exactName);

Q_SIGNALS:
    // The user picked an entry (not emitted when the program selects one).
    void colourPicked(const QColor &colour);
};

class TSpinBox : public QSpinBox {
    Q_OBJECT
public:
    // Starts at minimum; the settings table gives the start values.
    TSpinBox(int minimum, int maximum, QWidget *parent = nullptr);
};

class TPickList : public QComboBox {
    Q_OBJECT
public:
    explicit TPickList(const QStringList &entries, int start = -1, QWidget *parent = nullptr);
    // Selects entry index; an index outside the list selects none.
    void selectIndex(int index);
};

// An edit box for a setting that is a byte string (it goes to the file or
// the wire as bytes). It shows the text a person reads for the bytes it was
// given, and gives those very bytes back while that text stands unchanged;
// text that was edited is encoded afresh.
class TByteEdit : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

    void setBytes(const QString &bytes);
    // False, with the first character the encoding cannot hold, when the
    // edited text cannot be encoded; out is then left as it was.
    bool bytes(TText::Encoding encoding, QString &out, QString *unencodable = nullptr) const;

private:
    QString m_bytes;
    QString m_shown; // what setBytes showed for them
};

// A check box whose caption holds a run of blanks with another control
// (a spin box) laid over it, as in "Squelch when more than [ 40] % of ...".
// Where the face's blanks are too narrow for the control at its natural
// size, the run is drawn with more blanks; the caption itself stays.
class TGapCheckBox : public QCheckBox {
    Q_OBJECT
public:
    // The first run of several blanks in caption is the gap.
    TGapCheckBox(const QString &caption, QWidget *inGap, QWidget *parent = nullptr);

    // The caption as drawn, its gap wide enough for the control.
    QString shownCaption() const { return m_prefix + m_shownGap + QLatin1Char(' ') + m_rest; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    // The gap and the height for the present face.
    void fitGap();
    void placeGapWidget();
    QStyleOptionButton shownOption() const;

    QWidget *m_inGap;
    QString m_prefix; // the words before the gap and one blank
    QString m_gap;    // the blanks the control lies on
    QString m_rest;   // after one more blank, the words that follow
    QString m_shownGap;
};

// A setting is one line of tressel.conf, so no value may hold a line break:
// each CR LF, CR or LF becomes one blank. pos, when given, is a cursor
// position in text and is moved with it.
QString singleLine(const QString &text, int *pos = nullptr);

// Puts singleLine on everything that reaches a line edit: typed, pasted,
// dropped, committed by an input method or set by the program.
class TSingleLineValidator : public QValidator {
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString &input, int &pos) const override;
    void fixup(QString &input) const override;
};
