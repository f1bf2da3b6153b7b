#include "widgets/comboaccessible.h"

#include <QAccessibleWidget>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

namespace {

// The label that names w, if one does.
bool hasLabel(QWidget *w)
{
    QWidget *p = w->parentWidget();
    if (!p)
        return false;
    for (QLabel *l : p->findChildren<QLabel *>(Qt::FindDirectChildrenOnly))
        if (l->buddy() == w)
            return true;
    return false;
}

class TComboAccessible final : public QAccessibleWidget {
public:
    explicit TComboAccessible(QComboBox *box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    QComboBox *box() const { return static_cast<QComboBox *>(widget()); }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return box()->isEditable() && box()->lineEdit() ? box()->lineEdit()->text()
                                                            : box()->currentText();
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override
    {
        return QStringList{showMenuAction(), pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString &actionName) override
    {
        if (actionName == showMenuAction() || actionName == pressAction())
            box()->showPopup();
        else
            QAccessibleWidget::doAction(actionName);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.editable = box()->isEditable();
        return s;
    }
};

QAccessibleInterface *comboFactory(const QString &className, QObject *object)
{
    auto *box = qobject_cast<QComboBox *>(object);
    if (!box || className != QLatin1String(object->metaObject()->className()))
        return nullptr;
    if (box->accessibleName().isEmpty() && !hasLabel(box))
        return nullptr;
    return new TComboAccessible(box);
}

} // namespace

void nameComboBoxes(QWidget *window)
{
    static bool installed = false;
    if (!installed) {
        installed = true;
        QAccessible::installFactory(comboFactory);
    }
    // A box reports its first value while it is being built, and Qt keeps
    // the interface it made then; made afresh, it is this one.
    for (QComboBox *box : window->findChildren<QComboBox *>())
        if (QAccessibleInterface *old = QAccessible::queryAccessibleInterface(box))
            if (!dynamic_cast<TComboAccessible *>(old))
                QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(old));
}
