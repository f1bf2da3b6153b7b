#include "base/errors.h"

#include <cerrno>
#include <climits>

TInOutError TInOutError::fromErrno(int err)
{
    switch (err) {
    case ENOENT:
    case ENOTDIR:
        return TInOutError(QStringLiteral("File not found"), 2);
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
        return TInOutError(QStringLiteral("File access denied"), 5);
    case ENOSPC:
    case EDQUOT:
        return TInOutError(QStringLiteral("Disk full"), 112);
    default:
        return TInOutError(QStringLiteral("I/O error %1").arg(err), err);
    }
}

bool tryStrToInt(const QString &value, int &result)
{
    int i = 0;
    const int n = value.size();
    while (i < n && (value[i] == QLatin1Char(' ') || value[i] == QLatin1Char('\t')))
        ++i;
    bool negative = false;
    if (i < n && (value[i] == QLatin1Char('+') || value[i] == QLatin1Char('-'))) {
        negative = value[i] == QLatin1Char('-');
        ++i;
    }
    if (i >= n)
        return false;
    long long acc = 0;
    for (; i < n; ++i) {
        const QChar c = value[i];
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        acc = acc * 10 + (c.unicode() - '0');
        if (acc > static_cast<long long>(INT_MAX) + 1)
            return false;
    }
    if (negative)
        acc = -acc;
    if (acc > INT_MAX || acc < INT_MIN)
        return false;
    result = static_cast<int>(acc);
    return true;
}

int strToInt(const QString &value)
{
    int result = 0;
    if (!tryStrToInt(value, result))
        throw TConvertError(QStringLiteral("'%1' is not a valid integer value").arg(value));
    return result;
}
