#include "scripteddialogs.h"

QStringList ScriptedDialogs::texts(const QString &kind) const
{
    QStringList out;
    for (const Asked &a : asked)
        if (a.kind == kind)
            out << a.text;
    return out;
}

void ScriptedDialogs::note(const QString &kind, const QString &title, const QString &text)
{
    ++boxes;
    const Asked a{kind, title, text};
    if (record)
        asked.append(a);
    if (onAsked)
        onAsked(a);
}

bool ScriptedDialogs::confirm(QWidget *, const QString &title, const QString &text, Buttons)
{
    note(QStringLiteral("confirm"), title, text);
    const bool answer = confirmAnswers.isEmpty() ? defaultConfirm : confirmAnswers.dequeue();
    ++confirmCalls;
    if (whileConfirming)
        whileConfirming(confirmCalls);
    return answer;
}

bool ScriptedDialogs::inputBox(QWidget *, const QString &caption, const QString &prompt,
                               QString &value)
{
    note(QStringLiteral("input"), caption, prompt);
    if (inputAnswers.isEmpty())
        return false;
    auto a = inputAnswers.dequeue();
    if (a.first)
        value = a.second;
    return a.first;
}

QString ScriptedDialogs::saveFileName(QWidget *, const QString &initialName, const QString &,
                                      const QString &, bool)
{
    note(QStringLiteral("save"), QString(), initialName);
    lastSaveInitialName = initialName;
    return saveAnswers.isEmpty() ? QString() : saveAnswers.dequeue();
}

QStringList ScriptedDialogs::openFileNames(QWidget *, const QString &caption,
                                           const QString &startAt, const QString &)
{
    note(QStringLiteral("open"), caption, startAt);
    return openAnswers.isEmpty() ? QStringList() : openAnswers.dequeue();
}

bool ScriptedDialogs::chooseFont(QWidget *, QFont &font)
{
    note(QStringLiteral("font"), QString(), font.family());
    if (fontAnswers.isEmpty())
        return false;
    auto a = fontAnswers.dequeue();
    if (a.first)
        font = a.second;
    return a.first;
}

void ScriptedDialogs::showError(QWidget *, const QString &title, const QString &text)
{
    note(QStringLiteral("error"), title, text);
    if (whileShowing)
        whileShowing();
}

void ScriptedDialogs::showInfo(QWidget *, const QString &title, const QString &text)
{
    note(QStringLiteral("info"), title, text);
    if (whileShowing)
        whileShowing();
}
