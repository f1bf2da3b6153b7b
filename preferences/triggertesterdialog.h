#pragma once
// The trigger tester: a pattern and a sample line, judged as the user types
// (a moment after the last key), against the automatic squelch's own rules
// and the lines it judged lately.
#include "core/textcodec.h"
#include "rules/autosquelchrules.h"
#include "rules/triggertester.h"

#include <QDialog>
#include <functional>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;

class TTriggerTesterDialog : public QDialog {
    Q_OBJECT
public:
    struct Source {
        QStringList phrases; // the list as it is (characters)
        autosquelchrules::TLineRules rules;
        std::vector<triggertester::JudgedLine> lines;
        std::function<bool(const QString &name)> isSafe;
        TText::Encoding typed = TText::Encoding::Utf8;
    };
    // pattern: characters; sampleBytes: a line as received (bytes).
    TTriggerTesterDialog(QWidget *parent, Source source, const QString &pattern,
                         const QString &sampleBytes);

    QLineEdit *pattern = nullptr, *sample = nullptr;
    QLabel *validity = nullptr, *sampleMatch = nullptr, *linesFound = nullptr, *verdict = nullptr;
    QListWidget *matches = nullptr;
    QPushButton *ok = nullptr, *cancel = nullptr;
    QTimer *debounce = nullptr;

    // Judges now instead of after the pause (the pause's timer runs this).
    void evaluateNow();
    const triggertester::Result &result() const { return m_result; }
    // The sample as the automatic squelch would receive it.
    QString sampleBytes() const;

    static constexpr int debounceMs = 200;

private:
    Source m_source;
    QString m_sampleBytes; // the bytes given, while the field still shows them
    triggertester::Result m_result;
};
