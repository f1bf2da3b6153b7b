#pragma once
// The autosquelch's judging, free of widgets: the line tests, the l33t name
// share and the compiled trigger phrases.
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QString>
#include <QStringList>
#include <vector>

namespace autosquelchrules {

// Reason words.
extern const QString floodingWord;  // "Flooding"
extern const QString highAsciiWord; // "High ASCII"
extern const QString upperCaseWord; // "Uppercase Characters"
extern const QString triggerWord;   // "Trigger Phrase"
extern const QString leetNameWord;  // "L33t Username"

// A line is judged only when it is longer than the minimum.
inline bool longEnough(const QString &line, int minLineLength)
{
    return line.size() > minLineLength;
}

// The same line three times in a row (the history, newest last).
bool isFlood(const QString &firstLine, const QString &secondLine, const QString &thirdLine);

// Shares in percent, as real numbers; an empty text has none.
double highAsciiPercent(const QString &line); // codes above 126
double upperCasePercent(const QString &line); // A to Z only
bool isLeetChar(QChar ch);
double leetPercent(const QString &name);

// Appends word to reason, "/" between words.
void addReason(QString &reason, const QString &word);

// The trigger phrases, compiled once per text. A phrase that does not compile
// is skipped and reported once (until it leaves the list). So is, for the
// lines it gives up on, a phrase the engine gives up searching a line with
// (too much backtracking: it reached its match limit).
class TTriggerCache {
public:
    struct Invalid {
        QString phrase;
        QString error;       // the engine's message, with the position
        bool gaveUp = false; // valid, but the engine gave up on a line (error is empty)
    };

    // Takes the current list; texts already compiled are kept.
    void setPhrases(const QStringList &phrases);
    const QStringList &phrases() const { return m_phrases; }
    // How many of the valid phrases match somewhere in line; a phrase the
    // engine gives up on counts as not matching this line.
    // matched, when given, gets the patterns that matched, in list order.
    int countMatches(const QString &line, QStringList *matched = nullptr);
    // Phrases not reported yet (invalid, or given up on); each is handed out once.
    QList<Invalid> takeNewErrors();
    // How many patterns were compiled so far (a rebuild compiles only new texts).
    int compileCount() const { return m_compiles; }

    // The engine settings of a trigger: search anywhere, case-sensitive, the
    // dot also takes line breaks, ^ and $ at the ends of the whole line.
    static QRegularExpression compile(const QString &phrase);

    // Whether a phrase can stand as one branch of the combined pattern and
    // match exactly the lines it matches alone (no back references, quoting
    // to the end, comments, verbs or recursion, which a branch would change).
    static bool combinable(const QString &phrase);

private:
    enum class Found { No, Yes, GaveUp };
    static Found search(const QRegularExpression &re, const QString &line);
    void buildCombined();
    void gaveUpOn(const QString &phrase);

    QStringList m_phrases;
    std::vector<QRegularExpression> m_active; // the valid ones, in list order
    // Most lines match no phrase. One pattern with every combinable phrase
    // as a branch answers "none of these" in one search; only a line it
    // matches is searched phrase by phrase, to count, and so is one where
    // the engine gave up on the combined search (all the branches together
    // can reach its limit when no phrase alone does). m_alone are the
    // phrases that must always be searched by themselves.
    QRegularExpression m_combined;
    bool m_haveCombined = false;
    std::vector<QRegularExpression> m_alone;
    QHash<QString, QRegularExpression> m_compiled;
    QSet<QString> m_reported;
    QSet<QString> m_gaveUpReported;
    QList<Invalid> m_newErrors;
    int m_compiles = 0;
};

// The settings a line is judged with (the Autosquelch Triggers and
// Autosquelch Options tabs).
struct TLineRules {
    int minLineLength = 0;
    bool flooders = false, highAscii = false, upperCase = false;
    int highAsciiPercent = 100, upperCasePercent = 100;
};

// The verdict on a talk or emote line (bytes) from a member who is not on
// the safelist: the reason words, "/" between them, or empty when the line
// passes. flood: the member's history is a flood. phrases is searched with
// the line's characters; matched gets the patterns that matched. This is
// the automatic squelch's own judgement, so every user of it agrees.
QString lineVerdict(const TLineRules &rules, TTriggerCache &phrases, const QString &line,
                    bool flood, QStringList *matched = nullptr);

} // namespace autosquelchrules
