#include "rules/completion.h"

const QStringList &TCompletion::commands()
{
    static const QStringList list = {
        QStringLiteral("/quit"),       QStringLiteral("/brx"),   QStringLiteral("/unbrx"),
        QStringLiteral("/ver"),        QStringLiteral("/reply"), QStringLiteral("/connect"),
        QStringLiteral("/disconnect"), QStringLiteral("/away"),  QStringLiteral("/home"),
    };
    return list;
}

namespace {
// Commands that take something after them get the space that separates it.
bool takesArgument(const QString &command)
{
    return command == QLatin1String("/brx") || command == QLatin1String("/unbrx") ||
           command == QLatin1String("/reply") || command == QLatin1String("/away");
}
} // namespace

bool TCompletion::complete(const QString &text, int cursor, const QStringList &names,
                           Result &result, bool backwards)
{
    cursor = qBound(0, cursor, int(text.size()));
    const bool again = m_active && text == m_leftText && cursor == m_leftCursor;
    if (again) {
        const int n = int(m_candidates.size());
        if (n < 2)
            return false;
        m_index = (m_index + (backwards ? n - 1 : 1)) % n;
    } else if (backwards) {
        m_active = false;
        return false;
    } else {
        m_active = false;
        int start = cursor;
        while (start > 0 && text.at(start - 1) != QLatin1Char(' '))
            --start;
        const QString word = text.mid(start, cursor - start);
        if (word.isEmpty())
            return false;
        m_candidates.clear();
        m_suffixes.clear();
        m_names.clear();
        if (start == 0 && word.startsWith(QLatin1Char('/'))) {
            for (const QString &c : commands())
                if (c.startsWith(word, Qt::CaseInsensitive)) {
                    m_candidates << c;
                    m_suffixes << (takesArgument(c) ? QStringLiteral(" ") : QString());
                    m_names << -1;
                }
        } else {
            // A name that starts the line is spoken to.
            const QString suffix = start == 0 ? QStringLiteral(": ") : QString();
            for (int i = 0; i < names.size(); ++i)
                if (!names.at(i).isEmpty() && names.at(i).startsWith(word, Qt::CaseInsensitive)) {
                    m_candidates << names.at(i);
                    m_suffixes << suffix;
                    m_names << i;
                }
        }
        if (m_candidates.isEmpty())
            return false;
        m_wordStart = start;
        m_before = text.left(start);
        m_after = text.mid(cursor);
        m_index = 0;
    }
    const QString put = m_candidates.at(m_index) + m_suffixes.at(m_index);
    result.text = m_before + put + m_after;
    result.cursor = int(m_before.size() + put.size());
    result.name = m_names.at(m_index);
    m_active = true;
    m_leftText = result.text;
    m_leftCursor = result.cursor;
    return true;
}
