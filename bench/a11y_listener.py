"""A screen reader's ears on the accessibility bus, for bench/run: registers
for the events a screen reader listens to (text inserted, a notification
shown or renamed), so that Qt's bridge sends them, and counts them. Prints
"ready" once registered; on SIGTERM appends the count to the file named by
its argument and ends."""
import signal
import sys

import pyatspi
from gi.repository import GLib

count = 0


def on_event(event):
    global count
    count += 1


def note(*_):
    with open(sys.argv[1], "a") as f:
        f.write("%d\n" % count)


def stop(*_):
    note()
    pyatspi.Registry.stop()


pyatspi.Registry.registerEventListener(
    on_event, "object:text-changed:insert", "object:state-changed:showing",
    "object:property-change:accessible-name")
GLib.unix_signal_add(GLib.PRIORITY_HIGH, signal.SIGTERM, stop)
GLib.timeout_add(100, lambda: print("ready", flush=True) and False)
pyatspi.Registry.start()
