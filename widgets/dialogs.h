#pragma once
// Every modal window the program opens goes through this one interface, so
// tests can answer from a script instead of blocking on a real box.
#include <QFont>
#include <QString>
#include <QStringList>
#include <QUrl>

class QWidget;

class TDialogs {
public:
    enum class Buttons { OkCancel, YesNo };

    virtual ~TDialogs() = default;

    // A question box; true for OK or Yes.
    virtual bool confirm(QWidget *parent, const QString &title, const QString &text,
                         Buttons buttons) = 0;
    // An input box with one line of text; false when cancelled.
    virtual bool inputBox(QWidget *parent, const QString &caption, const QString &prompt,
                          QString &value) = 0;
    // A save-file dialog; an empty result means cancelled.
    virtual QString saveFileName(QWidget *parent, const QString &initialName, const QString &filter,
                                 const QString &defaultSuffix, bool confirmOverwrite) = 0;
    // An open-file dialog for one or more existing files, starting in the
    // folder of (or at) startAt; empty when cancelled.
    virtual QStringList openFileNames(QWidget *parent, const QString &caption,
                                      const QString &startAt, const QString &filter) = 0;
    // A font dialog starting at font; false when cancelled.
    virtual bool chooseFont(QWidget *parent, QFont &font) = 0;
    virtual void showError(QWidget *parent, const QString &title, const QString &text) = 0;
    virtual void showInfo(QWidget *parent, const QString &title, const QString &text) = 0;
    // Hands an address to the desktop's browser; false when none took it.
    virtual bool openUrl(const QUrl &url) = 0;
};

// The dialogs in force; the real Qt ones unless a test installed others.
TDialogs &dialogs();
// Installs d (not owned); nullptr goes back to the Qt dialogs.
void setDialogs(TDialogs *d);

// The error display for the guard: the general error box titled "Tressel",
// over the active window.
void showErrorBox(const QString &text);
