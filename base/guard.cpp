#include "base/guard.h"

#include "base/errors.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QSet>
#include <QStringList>
#include <cstdio>

namespace {
QSet<QString> waiting; // texts queued or on screen
QStringList queued;    // texts not yet on screen, in the order they came
TErrorDisplay display = nullptr;

void showOnStderr(const QString &text)
{
    std::fprintf(stderr, "Tressel: %s\n", text.toLocal8Bit().constData());
}

void showQueued(const QString &shown)
{
    if (!queued.removeOne(shown))
        return; // shown already by showWaitingErrors()
    (display ? display : showOnStderr)(shown);
    waiting.remove(shown);
}
} // namespace

void setErrorDisplay(TErrorDisplay d) { display = d; }

void reportError(const QString &text)
{
    QString shown = text;
    if (!shown.endsWith(QLatin1Char('.')))
        shown += QLatin1Char('.');
    if (waiting.contains(shown))
        return;
    waiting.insert(shown);
    queued.append(shown);
    auto show = [shown] { showQueued(shown); };
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

void showWaitingErrors()
{
    while (!queued.isEmpty())
        showQueued(queued.first());
}
