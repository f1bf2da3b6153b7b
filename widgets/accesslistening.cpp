#include "widgets/accesslistening.h"

#include <QAccessible>

namespace {
TAccessibility::Listener testListener = nullptr;
}

bool TAccessibility::listening() { return testListener || QAccessible::isActive(); }

void TAccessibility::tell(QAccessibleEvent *event)
{
    if (testListener)
        testListener(event);
    else
        QAccessible::updateAccessibility(event);
}

void TAccessibility::listen(Listener listener) { testListener = listener; }
