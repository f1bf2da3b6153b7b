#pragma once
// List entries and tree rows that stand for a byte string; the rule they
// follow is in rules/itembytes.h.
#include "rules/itembytes.h"

class QListWidgetItem;
class QTreeWidgetItem;

namespace TTextItem {

// A list entry showing bytes.
QListWidgetItem *newItem(const QString &bytes);
// Gives an entry (or a row's column) new bytes and their caption.
void setBytes(QListWidgetItem *item, const QString &bytes);
void setBytes(QTreeWidgetItem *item, int column, const QString &bytes);

// The bytes of an entry. One put in by caption alone (addItem with a text),
// or whose caption was set on its own since, counts its caption as its bytes.
QString bytesOf(const QListWidgetItem *item);
QString bytesOf(const QTreeWidgetItem *item, int column = 0);

} // namespace TTextItem
