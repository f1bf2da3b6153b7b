#pragma once
// Dialogs for tests, the benchmark and the fuzz targets: every question is
// answered from a queue (or with a default), and every box that was opened
// is recorded and counted. Nothing modal ever opens.
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
        QString kind; // "confirm", "input", "save", "open", "font", "error", "info"
        QString title;
        QString text;
    };

    // Installs itself as the program's dialogs, and takes itself out again.
    // The guard's errors come here as boxes too.
    ScriptedDialogs()
    {
        setDialogs(this);
        setErrorDisplay(showErrorBox);
    }
    ~ScriptedDialogs() override { setDialogs(nullptr); }

    ScriptedDialogs(const ScriptedDialogs &) = delete;
    ScriptedDialogs &operator=(const ScriptedDialogs &) = delete;

    // Answers, consumed in order. A question with no answer queued gets
    // defaultConfirm, or cancel.
    QQueue<bool> confirmAnswers;
    QQueue<std::pair<bool, QString>> inputAnswers; // accepted?, text
    QQueue<QString> saveAnswers;                   // empty = cancel
    QQueue<QStringList> openAnswers;               // empty = cancel
    QQueue<std::pair<bool, QFont>> fontAnswers;
    bool defaultConfirm = false;

    // Every box asked, in order, unless record is off (a long run such as
    // the fuzzer's keeps only the count).
    QList<Asked> asked;
    bool record = true;
    int boxes = 0;
    // Told of every box as it opens (a benchmark writes it to stderr, say).
    std::function<void(const Asked &)> onAsked;
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
    QStringList texts(const QString &kind) const;

    bool confirm(QWidget *, const QString &title, const QString &text, Buttons) override;
    bool inputBox(QWidget *, const QString &caption, const QString &prompt,
                  QString &value) override;
    QString saveFileName(QWidget *, const QString &initialName, const QString &, const QString &,
                         bool) override;
    QStringList openFileNames(QWidget *, const QString &caption, const QString &startAt,
                              const QString &) override;
    bool chooseFont(QWidget *, QFont &font) override;
    void showError(QWidget *, const QString &title, const QString &text) override;
    void showInfo(QWidget *, const QString &title, const QString &text) override;
    // Addresses handed to the browser, in order; none is opened.
    QList<QUrl> openedUrls;
    bool openUrl(const QUrl &url) override
    {
        openedUrls.append(url);
        return true;
    }

private:
    void note(const QString &kind, const QString &title, const QString &text);
};
