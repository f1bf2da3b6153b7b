// autosquelch with any trigger phrase and any line, from a member in the
// channel. Input: the phrase, a NUL byte, the line.
#include "fuzzwindow.h"

#include "base/guard.h"
#include "core/settingsstore.h"
#include "mainwindow/Tmain.h"
#include "preferences/Toptions.h"
#include "session/TSession.h"

#include <QListWidget>

namespace {
Tmain *window = nullptr;
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    window = startFuzzWindow();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype split = bytes.indexOf('\0');
    const QString phrase = QString::fromLatin1(split < 0 ? bytes : bytes.left(split));
    const QString line = split < 0 ? QString() : QString::fromLatin1(bytes.mid(split + 1));

    window->store->setList(TSetting::triggers, {phrase});
    guarded([&] {
        window->processChannel(QStringLiteral("Chat"));
        window->session->addUser(QStringLiteral("carol"), QStringLiteral("CHAT"),
                                 QStringLiteral("0010"));
        window->session->modUser(QStringLiteral("carol"), line);
        QString reason;
        const bool verdict = window->autosquelch(reason, QStringLiteral("carol"), line);
        if (verdict == reason.isEmpty())
            fuzzFailure("a verdict without a reason, or a reason without a verdict", reason);
        if (!verdict && !reason.isEmpty())
            fuzzFailure("a reason without a verdict", reason);
    });
    // Keep the transcript from growing over the run.
    window->chat->clear();
    settleEvents();
    return 0;
}
