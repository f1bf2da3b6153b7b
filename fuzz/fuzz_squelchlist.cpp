// loadSquelchlist on any brx.conf. Every line becomes one entry, and the
// list saved from it loads back as the same names.
#include "fuzzwindow.h"

#include "base/errors.h"
#include "mainwindow/Tmain.h"
#include "widgets/textitems.h"

#include <QListWidget>

#include <memory>

namespace {
Tmain *window = nullptr;

// The entries' bytes: what the list is kept and looked up by (the text
// shown is their decoded form).
QStringList names()
{
    QStringList out;
    for (int i = 0; i < window->brx->count(); ++i)
        out << TTextItem::bytesOf(window->brx->item(i));
    return out;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    window = startFuzzWindow();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    writeFuzzFile(QStringLiteral("brx.conf"), bytes);
    try {
        window->loadSquelchlist();
        const QStringList loaded = names();
        window->saveSquelchlist();
        window->loadSquelchlist();
        if (names() != loaded)
            fuzzFailure("the squelch list changed on a save and load",
                        loaded.join(QLatin1Char('|')) + QStringLiteral(" -> ") +
                            names().join(QLatin1Char('|')));
        for (const QString &name : loaded)
            if (!window->checkSquelch(name))
                fuzzFailure("a loaded name is not squelched", name);
    } catch (const TError &e) {
        fuzzFailure("the squelch list file could not be used", e.text());
    }
    settleEvents();
    return 0;
}
