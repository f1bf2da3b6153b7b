#include "preferences/triggertesterdialog.h"

#include "rules/layout.h"
#include "widgets/focusframe.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

using namespace triggertester;

TTriggerTesterDialog::TTriggerTesterDialog(QWidget *parent, Source source,
                                           const QString &patternText, const QString &sampleBytes)
    : QDialog(parent), m_source(std::move(source)), m_sampleBytes(sampleBytes)
{
    setWindowTitle(QStringLiteral("Test Trigger Phrase"));
    pattern = new QLineEdit(patternText);
    pattern->setObjectName(QStringLiteral("testerPattern"));
    sample = new QLineEdit(TText::decode(sampleBytes));
    sample->setObjectName(QStringLiteral("testerSample"));
    validity = new QLabel;
    sampleMatch = new QLabel;
    verdict = new QLabel;
    linesFound = new QLabel;
    for (QLabel *l : {validity, sampleMatch, verdict, linesFound}) {
        l->setWordWrap(true);
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    matches = new QListWidget;
    matches->setObjectName(QStringLiteral("testerMatches"));
    showFocusFrame(matches);
    matches->setAccessibleName(QStringLiteral("Lines that match"));

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Pattern:"), pattern);
    form->addRow(QStringLiteral("Sample line:"), sample);
    form->addRow(QStringLiteral("Validity:"), validity);
    form->addRow(QStringLiteral("Sample:"), sampleMatch);
    form->addRow(QStringLiteral("Verdict:"), verdict);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    ok = buttons->button(QDialogButtonBox::Ok);
    cancel = buttons->button(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *v = new QVBoxLayout(this);
    v->addLayout(form);
    v->addWidget(linesFound);
    v->addWidget(matches, 1);
    v->addWidget(buttons);
    resize(startGeometry(QSize(560, 420), screen()->availableGeometry()).size());

    debounce = new QTimer(this);
    debounce->setSingleShot(true);
    debounce->setInterval(debounceMs);
    connect(debounce, &QTimer::timeout, this, &TTriggerTesterDialog::evaluateNow);
    connect(pattern, &QLineEdit::textChanged, debounce, qOverload<>(&QTimer::start));
    connect(sample, &QLineEdit::textChanged, debounce, qOverload<>(&QTimer::start));
    evaluateNow();
}

QString TTriggerTesterDialog::sampleBytes() const
{
    if (sample->text() == TText::decode(m_sampleBytes))
        return m_sampleBytes;
    QString bytes;
    // A character the encoding cannot hold could not arrive as typed either;
    // UTF-8 holds every one.
    if (!TText::encode(sample->text(), m_source.typed, bytes))
        TText::encode(sample->text(), TText::Encoding::Utf8, bytes);
    return bytes;
}

void TTriggerTesterDialog::evaluateNow()
{
    debounce->stop();
    m_result =
        evaluate(pattern->text(), sampleBytes(), m_source.phrases, m_source.rules, m_source.lines);
    const Result &r = m_result;
    if (r.empty)
        validity->setText(QStringLiteral("No pattern yet: the verdict below is the list's own."));
    else if (r.valid)
        validity->setText(QStringLiteral("Valid."));
    else
        validity->setText(QStringLiteral("Not a valid regular expression: %1 at position %2.")
                              .arg(r.error)
                              .arg(r.errorOffset + 1));
    if (r.empty || !r.valid)
        sampleMatch->setText(QStringLiteral("-"));
    else if (r.sample == Found::GaveUp)
        sampleMatch->setText(QStringLiteral("The regular-expression engine gave up on the sample "
                                            "(too much backtracking): neither a match nor "
                                            "no match."));
    else
        sampleMatch->setText(r.sample == Found::Yes ? QStringLiteral("Matches the sample.")
                                                    : QStringLiteral("Does not match the sample."));
    QString v = verdictText(r);
    if (r.verdictGaveUp)
        v += QStringLiteral(" (the regular-expression engine gave up on the sample with one of "
                            "the phrases, which is then skipped)");
    verdict->setText(v);

    matches->clear();
    if (r.empty || !r.valid) {
        linesFound->setText(QString());
        return;
    }
    QString found = QStringLiteral("Matches %1 of the last %2 judged talk and emote lines.")
                        .arg(r.matchedLines.size())
                        .arg(m_source.lines.size());
    if (r.gaveUpLines > 0)
        found += QStringLiteral(" The engine gave up on %1 of them (too much backtracking).")
                     .arg(r.gaveUpLines);
    linesFound->setText(found);
    matches->setUpdatesEnabled(false);
    for (const int i : r.matchedLines) {
        const JudgedLine &l = m_source.lines[size_t(i)];
        const bool safe = m_source.isSafe && m_source.isSafe(l.name);
        matches->addItem((safe ? QStringLiteral("[safelisted] ") : QString()) +
                         TText::decode(l.name) + QStringLiteral(": ") + TText::decode(l.text));
    }
    matches->setUpdatesEnabled(true);
}
