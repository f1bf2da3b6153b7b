#include "linesplitter.h"

QList<QByteArray> LineSplitter::feed(const QByteArray &bytes)
{
    QList<QByteArray> lines;
    for (char c : bytes) {
        if (c == '\n' && m_afterCr) {
            // The LF of a CR LF pair: the line already ended at the CR.
            m_afterCr = false;
            continue;
        }
        m_afterCr = (c == '\r');
        if (c == '\r' || c == '\n') {
            lines.append(m_pending);
            m_pending.clear();
        } else if (c == '\x03' || c == '\x04') {
            continue;
        } else {
            m_pending.append(c);
            if (m_pending.size() >= MaxPending)
                m_pending.clear();
        }
    }
    return lines;
}
