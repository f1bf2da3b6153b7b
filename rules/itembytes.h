#pragma once
// Entries and rows that stand for a byte string (a name, a trigger phrase):
// the caption is the text a person reads, the bytes themselves stay in
// bytesRole, and everything that compares, saves or sends uses those. This
// is the part any item model can use; widgets/textitems.h adds the list and
// tree items.
#include <QString>
#include <Qt>

class QModelIndex;
class QVariant;

namespace TTextItem {

// Beside the user lists' icon and state roles.
constexpr int bytesRole = Qt::UserRole + 8;

// The bytes kept beside a caption, while they still are what it shows; a
// caption set on its own since (or without any bytes) counts as the bytes.
QString keptBytes(const QVariant &kept, const QString &caption);

// The bytes of a model's entry.
QString bytesOf(const QModelIndex &index);

// The client's own text (a file name, a system message) as the bytes the
// transcript and its log take: UTF-8, which reads back as the same text.
QString ownText(const QString &text);

} // namespace TTextItem
