"""What a screen reader reads of Tressel over AT-SPI: the chat's text holds
a line from the gateway; a whisper is told as text inserted into the
"Whispers" pane and announced by the notification object, and a screen
reader listening on the bus (orca) speaks it; every control of
the window a keyboard reaches has a name of its own. Prints "ready" once it
listens for events; exit status 0 when all holds."""
import os
import sys
import time

import pyatspi
from gi.repository import GLib


def fail(why):
    print("FAIL: " + why, flush=True)
    sys.exit(1)


def find_app(name, seconds=20):
    end = time.time() + seconds
    while time.time() < end:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.name == name:
                return app
        time.sleep(0.2)
    fail("no application called %s on the accessibility bus" % name)


def descendants(obj):
    out = []
    stack = [obj]
    while stack:
        o = stack.pop()
        out.append(o)
        try:
            stack.extend(c for c in o if c is not None)
        except Exception:
            pass
    return out


def by_name(objs, name):
    for o in objs:
        if o.name == name:
            return o
    fail("nothing called %r" % name)


app = find_app("tressel")
window = None
for w in app:
    if w is not None and w.name.startswith("Tressel"):
        window = w
if window is None:
    fail("no main window")
objs = descendants(window)

# The chat pane: a text holding what the gateway sent.
chat = by_name(objs, "Chat")
text = chat.queryText()
whole = text.getText(0, -1)
if "You have no mail." not in whole:
    fail("the chat's text lacks the gateway's greeting: %r" % whole[-300:])
line, start, end = text.getTextAtOffset(whole.index("You have no mail."),
                                        pyatspi.TEXT_BOUNDARY_LINE_START)
if "You have no mail." not in line:
    fail("the line at an offset is %r" % line)
print("chat holds %d characters; a line reads %r" % (text.characterCount, line.strip()), flush=True)

# Every control the keyboard reaches has a name, once.
names = []
for o in objs:
    states = o.getState()
    if states.contains(pyatspi.STATE_FOCUSABLE) and states.contains(pyatspi.STATE_SHOWING):
        if o.getRoleName() in ("menu item", "page tab", "scroll bar"):
            continue
        names.append(o.name)
missing = [n for n in names if not n]
twice = sorted({n for n in names if n and names.count(n) > 1})
if missing or twice:
    fail("controls without a name: %d; named twice: %s; all: %s" % (len(missing), twice, names))
print("named controls: %s" % ", ".join(names), flush=True)

# A whisper: inserted into "Whispers" and announced.
inserted = []
announced = []


def on_event(event):
    try:
        if event.type.startswith("object:text-changed:insert") and event.source.name == "Whispers":
            inserted.append(str(event.any_data))
        elif event.source.getRoleName() == "notification" and "psst" in (event.source.name or ""):
            announced.append(event.source.name)
    except Exception:
        pass
    if inserted and announced:
        pyatspi.Registry.stop()


pyatspi.Registry.registerEventListener(
    on_event, "object:text-changed:insert", "object:state-changed:showing",
    "object:property-change:accessible-name")
GLib.timeout_add(200, lambda: print("ready", flush=True) and False)
GLib.timeout_add_seconds(20, lambda: pyatspi.Registry.stop() and False)
pyatspi.Registry.start()
if not any("psst" in t for t in inserted):
    fail("no insertion into Whispers with the whisper: %s" % inserted)
if not announced:
    fail("the whisper was not announced")
print("whisper inserted: %r; announced: %r" % (inserted[0].strip(), announced[0]), flush=True)

# What the screen reader itself spoke (orca's debug file; see run_atspi.sh).
log = os.environ.get("TRESSEL_ORCA_LOG")
if log:
    spoken = None
    end = time.time() + 15
    while spoken is None and time.time() < end:
        with open(log, errors="replace") as f:
            for entry in f:
                if "SPEECH OUTPUT:" in entry and "psst, are you there?" in entry:
                    spoken = entry.strip()
        if spoken is None:
            time.sleep(0.2)
    if spoken is None:
        fail("orca did not speak the whisper")
    print("orca spoke: %s" % spoken.split("SPEECH OUTPUT:", 1)[1], flush=True)
sys.exit(0)
