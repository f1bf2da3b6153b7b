#include "mainwindow/textitems.h"

#include "mainwindow/textcodec.h"

#include <QListWidgetItem>
#include <QModelIndex>
#include <QTreeWidgetItem>

namespace TTextItem {

QListWidgetItem *newItem(const QString &bytes)
{
    auto *item = new QListWidgetItem;
    setBytes(item, bytes);
    return item;
}

void setBytes(QListWidgetItem *item, const QString &bytes)
{
    // Bytes first: whoever watches the caption finds them in place.
    item->setData(bytesRole, bytes);
    item->setText(TText::decode(bytes));
}

void setBytes(QTreeWidgetItem *item, int column, const QString &bytes)
{
    item->setData(column, bytesRole, bytes);
    item->setText(column, TText::decode(bytes));
}

namespace {
// The bytes kept beside a caption, while they still are what it shows; a
// caption set on its own since (or without any bytes) counts as the bytes.
QString keptBytes(const QVariant &kept, const QString &caption)
{
    if (kept.isValid()) {
        const QString bytes = kept.toString();
        if (bytes == caption || TText::decode(bytes) == caption)
            return bytes;
    }
    return caption;
}
} // namespace

QString bytesOf(const QListWidgetItem *item)
{
    return keptBytes(item->data(bytesRole), item->text());
}

QString bytesOf(const QTreeWidgetItem *item, int column)
{
    return keptBytes(item->data(column, bytesRole), item->text(column));
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
