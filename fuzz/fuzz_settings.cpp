// Both settings files at once, tressel.conf and tressel.ini, on any
// contents. Whatever the dialog made of them, a dialog made afresh reads the
// files it writes back to the very same settings: both files written again
// come out byte for byte the same.
//
// Input: the bytes of tressel.conf, then a NUL byte and the bytes of
// tressel.ini (no NUL: no tressel.ini).
#include "fuzzsupport.h"

#include "base/errors.h"
#include "preferences/Toptions.h"

#include <QFile>

#include <memory>

namespace {
const QString conf = QStringLiteral("tressel.conf");
const QString ini = QStringLiteral("tressel.ini");

QByteArray fileBytes(const QString &name)
{
    QFile f(name);
    if (!f.open(QIODevice::ReadOnly))
        fuzzFailure("cannot read back", name);
    return f.readAll();
}

// Reads both files; a value the program refuses stops that file's reading
// (and is reported), which is no fault.
void readBoth(Toptions &o)
{
    try {
        o.readconfig();
    } catch (const TError &) {
    }
    try {
        o.readSettingsFile();
    } catch (const TError &) {
    }
}

void writeBoth(Toptions &o, QByteArray &confBytes, QByteArray &iniBytes)
{
    try {
        o.writeconfig();
        o.writeSettingsFile();
    } catch (const TError &e) {
        fuzzFailure("the settings could not be written", e.text());
    }
    confBytes = fileBytes(conf);
    iniBytes = fileBytes(ini);
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    startFuzzApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype nul = input.indexOf('\0');
    writeFuzzFile(conf, nul < 0 ? input : input.left(nul));
    if (nul < 0)
        removeFuzzFile(ini);
    else
        writeFuzzFile(ini, input.mid(nul + 1));

    QByteArray confFirst, iniFirst, confSecond, iniSecond;
    {
        Toptions first;
        readBoth(first);
        writeBoth(first, confFirst, iniFirst);
    }
    {
        Toptions second;
        readBoth(second);
        writeBoth(second, confSecond, iniSecond);
    }
    if (confFirst != confSecond)
        fuzzFailure("tressel.conf changed on a write and a fresh read",
                    QString::fromLatin1(confFirst) + QStringLiteral("\n----\n") +
                        QString::fromLatin1(confSecond));
    if (iniFirst != iniSecond)
        fuzzFailure("tressel.ini changed on a write and a fresh read",
                    QString::fromLatin1(iniFirst) + QStringLiteral("\n----\n") +
                        QString::fromLatin1(iniSecond));
    removeFuzzFile(QStringLiteral("tressel.conf.bak"));
    settleEvents();
    return 0;
}
