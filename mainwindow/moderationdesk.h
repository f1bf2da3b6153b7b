#pragma once
// The window's side of the moderation chain (rules/moderation): the
// settings it reads, filled here alone, the lines it is asked about, and the
// actions it decides on, carried out through the window; the autosquelch's
// prompt. A child of the window it serves.
#include "rules/moderation.h"

#include <QObject>
#include <QString>
#include <QStringList>

class Tmain;

class TModerationDesk : public QObject {
public:
    explicit TModerationDesk(Tmain &window);

    // The chain's verdict on one line of the channel (bytes).
    moderation::TVerdict moderate(moderation::TLine::Kind kind, const QString &user,
                                  const QString &text, const QString &flags = QString(),
                                  const QString &product = QString());
    // Carries out a verdict's actions on user's line, in their order.
    void actOn(const QString &user, const moderation::TVerdict &verdict);
    // The automatic squelch's verdict alone; matched, when given, gets the
    // trigger phrases that matched (bytes).
    bool autosquelch(QString &reason, const QString &name, const QString &line,
                     QStringList *matched);
    // The product action for the member at index of the session's table.
    void productAction(int index);

private:
    // Every setting the moderation chain reads, read here alone.
    moderation::TSettings moderationSettings();
    void watchTriggers();
    void reportTriggerErrors();
    // The prompt is asked from a queued call, never inside the socket's
    // read handler, and its answer goes back to the chain.
    void scheduleAutosquelchPrompt(const QString &user);
    void runAutosquelchPrompt(const QString &user);

    Tmain &w;
    moderation::TModeration m_chain;
    struct Triggers;
    Triggers *m_triggers = nullptr; // a child of this
    bool m_watchingTriggers = false;
};
