#!/usr/bin/env bash
# Runs tressel_access_probe on a virtual X server with a session bus and an
# accessibility bus of its own. Usage: run_atspi.sh PROBE CHECK_SCRIPT
# Exits 77 (skipped) when Xvfb, dbus-daemon, the AT-SPI bus launcher or
# Python's pyatspi is missing (scripts/deps.sh installs them).
set -u
probe=$1
check=$2
python=/usr/bin/python3
launcher=/usr/libexec/at-spi-bus-launcher
for need in xvfb-run dbus-daemon; do
  command -v "$need" >/dev/null || { echo "no $need: skipped"; exit 77; }
done
[ -x "$launcher" ] || { echo "no $launcher: skipped"; exit 77; }
"$python" -c 'import pyatspi' 2>/dev/null || { echo "no pyatspi: skipped"; exit 77; }

exec xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  set -u
  eval "$(dbus-daemon --session --fork --print-address=1 --print-pid=1 |
          { read -r addr; read -r pid; echo "export DBUS_SESSION_BUS_ADDRESS=$addr; bus=$pid"; })"
  "$0" --launch-immediately >/dev/null 2>&1 &
  launcher=$!
  # Wait for the accessibility bus to be registered on the session bus.
  for _ in $(seq 50); do
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
      org.a11y.Bus.GetAddress >/dev/null 2>&1 && break
    sleep 0.1
  done
  QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb timeout 90 "$1" "$2" "$3"
  status=$?
  kill "$launcher" "$bus" 2>/dev/null
  exit $status
' "$launcher" "$probe" "$python" "$check"
