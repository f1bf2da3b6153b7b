#include "widgets/announcer.h"

#include "widgets/accesslistening.h"
#include "widgets/framepacer.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace {

class TAnnouncerAccessible final : public QAccessibleWidget {
public:
    explicit TAnnouncerAccessible(TAnnouncer *w) : QAccessibleWidget(w, QAccessible::Notification)
    {
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name || t == QAccessible::Description)
            return static_cast<TAnnouncer *>(widget())->text();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface *announcerFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("TAnnouncer") && object && object->isWidgetType())
        return new TAnnouncerAccessible(static_cast<TAnnouncer *>(object));
    return nullptr;
}

} // namespace

TAnnouncer::TAnnouncer(QWidget *parent) : QWidget(parent)
{
    static bool installed = false;
    if (!installed) {
        installed = true;
        QAccessible::installFactory(announcerFactory);
    }
    setObjectName(QStringLiteral("announcer"));
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    resize(1, 1);
    m_pacer = new TFramePacer([this] { announce(); }, this);
}

void TAnnouncer::request()
{
    if (TAccessibility::listening())
        m_pacer->request();
}

void TAnnouncer::announce()
{
    if (!takeText)
        return;
    const QString text = takeText();
    if (text.isEmpty() || !TAccessibility::listening())
        return;
    m_text = text;
    // Shown anew and renamed: both are spoken as a notification appearing.
    QAccessibleEvent shown(this, QAccessible::ObjectShow);
    TAccessibility::tell(&shown);
    QAccessibleEvent renamed(this, QAccessible::NameChanged);
    TAccessibility::tell(&renamed);
    Q_EMIT announced(text);
}
