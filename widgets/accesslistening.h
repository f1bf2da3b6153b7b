#pragma once
// Whether an assistive technology (a screen reader) listens, and the one
// way the client tells it something. Telling one about new lines, the caret
// and announcements is done only while one listens. Qt says so through its
// platform bridge (and drops every event while it does not); tests, which
// run without one, listen themselves.
class QAccessibleEvent;

namespace TAccessibility {
bool listening();
// Hands the event to the platform's bridge, or to the test's listener.
void tell(QAccessibleEvent *event);
// Tests: a listener that gets every event told from now on (null: none,
// and listening() is Qt's again).
using Listener = void (*)(QAccessibleEvent *event);
void listen(Listener listener);
} // namespace TAccessibility
