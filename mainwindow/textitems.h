#pragma once
// List entries and rows that stand for a byte string (a name, a trigger
// phrase): the caption is the text a person reads, the bytes themselves stay
// in bytesRole, and everything that compares, saves or sends uses those.
#include <QString>
#include <Qt>

class QListWidgetItem;
class QModelIndex;
class QTreeWidgetItem;

namespace TTextItem {

// Beside the user lists' icon and state roles.
constexpr int bytesRole = Qt::UserRole + 8;

// A list entry showing bytes.
QListWidgetItem *newItem(const QString &bytes);
// Gives an entry (or a row's column) new bytes and their caption.
void setBytes(QListWidgetItem *item, const QString &bytes);
void setBytes(QTreeWidgetItem *item, int column, const QString &bytes);

// The bytes of an entry. One put in by caption alone (addItem with a text),
// or whose caption was set on its own since, counts its caption as its bytes.
QString bytesOf(const QListWidgetItem *item);
QString bytesOf(const QTreeWidgetItem *item, int column = 0);
QString bytesOf(const QModelIndex &index);

// The client's own text (a file name, a system message) as the bytes the
// transcript and its log take: UTF-8, which reads back as the same text.
QString ownText(const QString &text);

} // namespace TTextItem
