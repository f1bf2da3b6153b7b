#include "widgets/textitems.h"

#include "core/textcodec.h"

#include <QListWidgetItem>
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

QString bytesOf(const QListWidgetItem *item)
{
    return keptBytes(item->data(bytesRole), item->text());
}

QString bytesOf(const QTreeWidgetItem *item, int column)
{
    return keptBytes(item->data(column, bytesRole), item->text(column));
}

} // namespace TTextItem
