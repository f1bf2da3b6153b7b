// readconfig on any file contents. Whatever the file held, the settings the
// program ends up with must survive a write and a read unchanged: what is
// saved is what comes back.
#include "fuzzsupport.h"

#include "base/errors.h"
#include "preferences/Toptions.h"

#include <QFile>

namespace {
QByteArray fileBytes(const QString &name)
{
    QFile f(name);
    if (!f.open(QIODevice::ReadOnly))
        fuzzFailure("cannot read back", name);
    return f.readAll();
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    startFuzzApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString conf = QStringLiteral("tressel.conf");
    writeFuzzFile(conf, QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    // One dialog for all inputs (it is costly to make): each read empties
    // the lists, and the other settings only ever take values read.
    static Toptions *options = new Toptions;
    try {
        options->readconfig();
    } catch (const TError &) {
        // A malformed value stops the reading; what was read stays.
    }
    try {
        options->writeconfig();
        const QByteArray first = fileBytes(conf);
        options->readconfig();
        options->writeconfig();
        const QByteArray second = fileBytes(conf);
        if (first != second)
            fuzzFailure("the settings changed on a write and read",
                        QString::fromLatin1(first) + QStringLiteral("\n----\n") +
                            QString::fromLatin1(second));
    } catch (const TError &e) {
        fuzzFailure("the program cannot read its own file", e.text());
    }
    removeFuzzFile(QStringLiteral("tressel.conf.bak"));
    settleEvents();
    return 0;
}
