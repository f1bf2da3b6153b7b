// applyAntiCensor on any text. A censored form and its word are as long as
// each other, so the text keeps its length, and a text without any of the
// censor's symbols comes back unchanged.
#include "fuzzsupport.h"

#include "rules/anticensor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const tAntiCensorTable table = makeAntiCensorTable();
    const QString text = QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString result = applyAntiCensor(table, text);
    if (result.size() != text.size())
        fuzzFailure("the anticensor changed the length", text + QStringLiteral(" -> ") + result);
    bool symbols = false;
    for (const QChar c : text)
        symbols = symbols || QStringLiteral("!@#$%&").contains(c);
    if (!symbols && result != text)
        fuzzFailure("the anticensor changed a text without symbols", text);
    return 0;
}
