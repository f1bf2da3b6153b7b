#pragma once
// Drawing of the user lists: a state mark and a small icon before each
// caption, both drawn for the screen's pixel ratio so they stay sharp.
#include <QIcon>
#include <QListWidgetItem>
#include <QStyledItemDelegate>
#include <QTreeWidgetItem>

namespace TUserRow {
// Item data of a row of `users` (column 0) and of an item of `brx`.
constexpr int iconRole = Qt::UserRole;      // int: index into the user icons
constexpr int stateRole = Qt::UserRole + 1; // int: state mark, -1 for none
constexpr int noState = -1;
constexpr int entryRole = Qt::UserRole + 2; // qulonglong: the member table entry's serial
} // namespace TUserRow

// A member's row of `users` that says itself in words (to a screen reader,
// and as its tip: name, product, the flags' marks and the lists' verdicts)
// only when asked, so that rebuilding the rows builds no text for it.
class TMemberRow : public QTreeWidgetItem {
public:
    QString product, flags;
    bool permasquelched = false, lamerHidden = false, safelisted = false;
    QVariant data(int column, int role) const override;
};

// An entry of the squelch list that likewise says itself only when asked
// (a list of a hundred thousand names keeps no text for it).
class TSquelchEntry : public QListWidgetItem {
public:
    QVariant data(int role) const override;
};

// A user icon as an icon with 1x and 2x pictures (cached).
QIcon userIconSet(int index);

// Paints a row as: state mark (18x14, its room kept even when empty), small
// icon (28x14), caption.
class TUserListDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};

class TFramePacer;
// Whether a rebuild of `users` is waiting or running, and what runs it
// (its child). A child of the list's model, so it is still there when the
// model's teardown reports its reset.
class TUsersRebuildState : public QObject {
public:
    using QObject::QObject;
    bool pending = false;
    bool rebuilding = false;
    TFramePacer *pacer = nullptr;
};

class QAbstractItemView;
class QAbstractScrollArea;
// The selection keeps its colours while the list has no focus.
void keepSelectionVisible(QAbstractItemView *view);
// The scroll bars fill their own background, so moving them, as they do
// with every frame of a busy channel, does not repaint the frame and the
// window behind them as well.
void fillScrollBarBackgrounds(QAbstractScrollArea *area);
