// Icon rules of the user lists.
#include "rules/usericons.h"

#include "base/errors.h"

namespace {
const char *const products[] = {"DRTL", "STAR", "DSHR", "SSHR", "SEXP",
                                "JSTR", "D2DV", "W2BN", "D2XP"};
constexpr int firstProductIcon = 9;
constexpr int productCount = int(sizeof products / sizeof products[0]);

// The marks a flags text carries, whichever way it was written.
struct Marks {
    bool rep = false, op = false, speaker = false, admin = false, squelched = false, guest = false,
         pglPlayer = false, pglOfficial = false;
};

bool allOf(const QString &s, bool (*pred)(QChar))
{
    if (s.isEmpty())
        return false;
    for (QChar c : s)
        if (!pred(c))
            return false;
    return true;
}

bool isDecimal(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }
bool isHex(QChar c)
{
    return isDecimal(c) || (c >= QLatin1Char('a') && c <= QLatin1Char('f')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
}

// The decimal walk: each threshold once, largest first, as the flags have
// always been read (so 0100 marks every threshold from 40 down).
Marks decimalMarks(int n)
{
    Marks m;
    static const int thresholds[] = {400, 200, 40, 20, 10, 8, 4, 2, 1};
    for (int t : thresholds) {
        if (n < t)
            continue;
        n -= t;
        switch (t) {
        case 400:
            m.pglOfficial = true;
            break;
        case 200:
            m.pglPlayer = true;
            break;
        case 40:
            m.guest = true;
            break;
        case 20:
            m.squelched = true;
            break;
        case 8:
            m.admin = true;
            break;
        case 4:
            m.speaker = true;
            break;
        case 2:
            m.op = true;
            break;
        case 1:
            m.rep = true;
            break;
        default:
            break; // 10: no UDP, no icon
        }
    }
    return m;
}

Marks hexMarks(uint bits)
{
    Marks m;
    m.rep = bits & 0x01;
    m.op = bits & 0x02;
    m.speaker = bits & 0x04;
    m.admin = bits & 0x08;
    m.squelched = bits & 0x20;
    m.guest = bits & 0x40;
    m.pglPlayer = bits & 0x200;
    m.pglOfficial = bits & 0x400;
    return m;
}
} // namespace

int productIcon(const QString &code)
{
    for (int i = 0; i < productCount; ++i)
        if (code == QLatin1String(products[i]))
            return firstProductIcon + i;
    return TUserIcon::chat;
}

QString productCode(int icon)
{
    if (icon >= firstProductIcon && icon < firstProductIcon + productCount)
        return QLatin1String(products[icon - firstProductIcon]);
    return QStringLiteral("CHAT");
}

namespace {
// The marks of a flags text; false for one that is no number at all.
bool marksOf(const QString &flags, Marks &m)
{
    int n = 0;
    if (allOf(flags, isDecimal))
        m = decimalMarks(flags.toInt());
    else if (allOf(flags, isHex))
        m = hexMarks(flags.toUInt(nullptr, 16));
    else if (tryStrToInt(flags, n))
        m = decimalMarks(n);
    else
        return false;
    return true;
}
} // namespace

int flagsIcon(const QString &product, const QString &flags, bool &squelched)
{
    int icon = productIcon(product);
    if (flags == QLatin1String("0000"))
        return icon;
    Marks m;
    if (!marksOf(flags, m))
        return icon;
    // Weakest first: each later mark overrides the one before.
    if (m.pglOfficial)
        icon = TUserIcon::pglOfficial;
    if (m.pglPlayer)
        icon = TUserIcon::pglPlayer;
    if (m.guest)
        icon = TUserIcon::guest;
    if (m.squelched)
        icon = TUserIcon::squelched;
    if (m.admin)
        icon = TUserIcon::admin;
    if (m.speaker)
        icon = TUserIcon::speaker;
    if (m.op)
        icon = TUserIcon::op;
    if (m.rep)
        icon = TUserIcon::blizzard;
    squelched = m.squelched;
    return icon;
}

QString productName(const QString &code)
{
    static const char *const names[] = {"Diablo",
                                        "Starcraft",
                                        "Diablo Shareware",
                                        "Starcraft Shareware",
                                        "Starcraft Broodwar",
                                        "Starcraft Japan",
                                        "Diablo II",
                                        "Warcraft II",
                                        "Diablo II Lord of Destruction"};
    const int icon = productIcon(code);
    if (icon < firstProductIcon)
        return QStringLiteral("Chat client");
    return QLatin1String(names[icon - firstProductIcon]);
}

QStringList flagWords(const QString &flags)
{
    Marks m;
    if (!marksOf(flags, m))
        return {};
    QStringList words;
    // Strongest first, as the icon shows them.
    const std::pair<bool, const char *> marks[] = {
        {m.rep, "Blizzard representative"},
        {m.op, "operator"},
        {m.speaker, "speaker"},
        {m.admin, "Battle.net administrator"},
        {m.squelched, "squelched"},
        {m.guest, "special guest"},
        {m.pglPlayer, "PGL player"},
        {m.pglOfficial, "PGL official"},
    };
    for (const auto &mark : marks)
        if (mark.first)
            words << QLatin1String(mark.second);
    return words;
}
