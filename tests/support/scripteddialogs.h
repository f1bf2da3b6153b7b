#pragma once
// Dialogs for tests: every question is answered from a queue, and every
// box that was opened is recorded.
#include "base/guard.h"
#include "widgets/dialogs.h"

#include <QFont>
#include <QList>
#include <QQueue>
#include <QStringList>
#include <functional>

class ScriptedDialogs : public TDialogs {
public:
    struct Asked {
        QString kind; // "confirm", "input", "save", "font", "error", "info"
        QString title;
        QString text;
    };

    ScriptedDialogs()
    {
        setDialogs(this);
        setErrorDisplay(showErrorBox); // the guard's errors come here as boxes too
    }
    ~ScriptedDialogs() override { setDialogs(nullptr); }

    // Answers, consumed in order. A question with no answer queued is
    // answered "no"/cancel.
    QQueue<bool> confirmAnswers;
    QQueue<std::pair<bool, QString>> inputAnswers; // accepted?, text
    QQueue<QString> saveAnswers;                   // empty = cancel
    QQueue<std::pair<bool, QFont>> fontAnswers;

    QList<Asked> asked;
    // Runs while a box is "on screen" (for instance an event loop, as a
    // real modal box would run one).
    std::function<void()> whileShowing;
    // Runs while a confirmation box is "open" (a real modal box lets events
    // through), with the number of confirmations asked so far.
    std::function<void(int call)> whileConfirming;
    int confirmCalls = 0;
    QString lastSaveInitialName;

    QStringList errors() const { return texts(QStringLiteral("error")); }
    QStringList infos() const { return texts(QStringLiteral("info")); }
    QStringList texts(const QString &kind) const
    {
        QStringList out;
        for (const Asked &a : asked)
            if (a.kind == kind)
                out << a.text;
        return out;
    }

    bool confirm(QWidget *, const QString &title, const QString &text, Buttons) override
    {
        asked.append({QStringLiteral("confirm"), title, text});
        const bool answer = confirmAnswers.isEmpty() ? false : confirmAnswers.dequeue();
        ++confirmCalls;
        if (whileConfirming)
            whileConfirming(confirmCalls);
        return answer;
    }
    bool inputBox(QWidget *, const QString &caption, const QString &prompt,
                  QString &value) override
    {
        asked.append({QStringLiteral("input"), caption, prompt});
        if (inputAnswers.isEmpty())
            return false;
        auto a = inputAnswers.dequeue();
        if (a.first)
            value = a.second;
        return a.first;
    }
    QString saveFileName(QWidget *, const QString &initialName, const QString &, const QString &,
                         bool) override
    {
        asked.append({QStringLiteral("save"), QString(), initialName});
        lastSaveInitialName = initialName;
        return saveAnswers.isEmpty() ? QString() : saveAnswers.dequeue();
    }
    bool chooseFont(QWidget *, QFont &font) override
    {
        asked.append({QStringLiteral("font"), QString(), font.family()});
        if (fontAnswers.isEmpty())
            return false;
        auto a = fontAnswers.dequeue();
        if (a.first)
            font = a.second;
        return a.first;
    }
    void showError(QWidget *, const QString &title, const QString &text) override
    {
        asked.append({QStringLiteral("error"), title, text});
        if (whileShowing)
            whileShowing();
    }
    void showInfo(QWidget *, const QString &title, const QString &text) override
    {
        asked.append({QStringLiteral("info"), title, text});
        if (whileShowing)
            whileShowing();
    }
};
