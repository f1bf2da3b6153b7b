#include "app/guard.h"

#include "app/dialogs.h"
#include "app/errors.h"

#include <QApplication>
#include <QMetaObject>
#include <QSet>
#include <QWidget>

namespace {
QSet<QString> waiting; // texts queued or on screen
}

void reportError(const QString &text)
{
    QString shown = text;
    if (!shown.endsWith(QLatin1Char('.')))
        shown += QLatin1Char('.');
    if (waiting.contains(shown))
        return;
    waiting.insert(shown);
    auto show = [shown] {
        dialogs().showError(QApplication::activeWindow(), QStringLiteral("Tressel"), shown);
        waiting.remove(shown);
    };
    if (QCoreApplication::instance())
        QMetaObject::invokeMethod(QCoreApplication::instance(), show, Qt::QueuedConnection);
    else
        show();
}

void reportCurrentException() noexcept
{
    try {
        throw;
    } catch (const TError &e) {
        reportError(e.text());
    } catch (const std::exception &e) {
        reportError(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        reportError(QStringLiteral("Unknown error"));
    }
}

int pendingErrorBoxes() { return waiting.size(); }
