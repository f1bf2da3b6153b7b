#!/usr/bin/env bash
# Runs tressel_access_probe on a virtual X server with a session bus and an
# accessibility bus of its own. Usage: run_atspi.sh PROBE CHECK_SCRIPT
# Exits 77 (skipped) when Xvfb, dbus-daemon, the AT-SPI bus launcher or
# Python's pyatspi is missing (scripts/deps.sh installs them), and fails
# then under CI. Debian's screen reader, orca, listens on the same bus with a
# debug file, which the check reads for what it spoke; without orca the
# speech is not checked (a failure under CI).
set -u
probe=$1
check=$2
python=/usr/bin/python3
launcher=/usr/libexec/at-spi-bus-launcher
missing() { # what
  echo "no $1: skipped"
  [ "${CI:-}" = true ] && exit 1
  exit 77
}
for need in xvfb-run dbus-daemon; do
  command -v "$need" >/dev/null || missing "$need"
done
[ -x "$launcher" ] || missing "$launcher"
"$python" -c 'import pyatspi' 2>/dev/null || missing pyatspi
if ! command -v orca >/dev/null; then
  [ "${CI:-}" = true ] && { echo "no orca"; exit 1; }
  echo "no orca: what a screen reader speaks is not checked"
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
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
  screenreader=
  if command -v orca >/dev/null; then
    # Orca with preferences of its own, so nothing of the machine'"'"'s
    # user is read; it is listening once it has said so. No speech server
    # is started (SPEECHD_CMD): the debug file says what would be spoken.
    mkdir -p "$4/home" "$4/prefs"
    HOME="$4/home" LANG=C.UTF-8 LC_ALL=C.UTF-8 SPEECHD_CMD=/bin/false \
      /usr/bin/python3 "$5" -u "$4/prefs" --debug-file "$4/orca.out" >"$4/orca.stdout" 2>&1 &
    screenreader=$!
    for _ in $(seq 200); do
      grep -q "SPEECH OUTPUT: .Screen reader on" "$4/orca.out" 2>/dev/null && break
      sleep 0.1
    done
    grep -q "SPEECH OUTPUT: .Screen reader on" "$4/orca.out" 2>/dev/null ||
      { echo "orca did not start:"; tail -20 "$4/orca.stdout"; exit 1; }
    export TRESSEL_ORCA_LOG="$4/orca.out"
  fi
  QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb timeout 90 "$1" "$2" "$3"
  status=$?
  kill $screenreader "$launcher" "$bus" 2>/dev/null
  exit $status
' "$launcher" "$probe" "$python" "$check" "$work" "$(dirname "$0")/orca_lines.py"
