#include "rules/itembytes.h"

#include "core/textcodec.h"

#include <QModelIndex>
#include <QVariant>

namespace TTextItem {

QString keptBytes(const QVariant &kept, const QString &caption)
{
    if (kept.isValid()) {
        const QString bytes = kept.toString();
        if (bytes == caption || TText::decode(bytes) == caption)
            return bytes;
    }
    return caption;
}

QString bytesOf(const QModelIndex &index)
{
    return keptBytes(index.data(bytesRole), index.data(Qt::DisplayRole).toString());
}

QString ownText(const QString &text)
{
    QString bytes;
    if (TText::encode(text, TText::Encoding::Utf8, bytes))
        return bytes;
    // Only a lone surrogate stops UTF-8; Qt writes it as a replacement.
    return TText::fromBytes(text.toUtf8());
}

} // namespace TTextItem
