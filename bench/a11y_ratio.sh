#!/bin/sh
# What a listening screen reader costs a flood: tressel-bench's a11y_flood
# case in alternating pairs on a virtual X server with a session bus and an
# accessibility bus of its own, once with Qt's accessibility bridge on and a
# listener registered for the events a screen reader hears, once with nobody
# listening (no listener, the bridge left to its default). Prints
# "a11y_flood_ratio": what the flood costs with a listener over what it costs
# without (the median of the pairs' off/on lines per second).
# Usage: a11y_ratio.sh TRESSEL_BENCH [PAIRS] [LINES]
set -u
bench=$1
pairs=${2:-5}
lines=${3:-100000}
here=$(cd "$(dirname "$0")" && pwd)
launcher=/usr/libexec/at-spi-bus-launcher
if ! command -v xvfb-run >/dev/null || ! command -v dbus-daemon >/dev/null ||
   [ ! -x "$launcher" ] || ! /usr/bin/python3 -c "import pyatspi" 2>/dev/null; then
    echo "a11y_flood_ratio - (needs xvfb-run, dbus-daemon, at-spi2-core and python3-pyatspi)"
    exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
xvfb-run -a -s "-screen 0 1280x1024x24" sh -c '
  set -u
  bench=$1 pairs=$2 lines=$3 here=$4 work=$5 launcher=$6
  eval "$(dbus-daemon --session --fork --print-address=1 --print-pid=1 |
          { read -r addr; read -r pid; echo "export DBUS_SESSION_BUS_ADDRESS=$addr; bus=$pid"; })"
  "$launcher" --launch-immediately >/dev/null 2>&1 &
  spi=$!
  for _ in $(seq 50); do
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
      org.a11y.Bus.GetAddress >/dev/null 2>&1 && break
    sleep 0.1
  done
  rate() { # on|off: lines per second of one flood
    if [ "$1" = on ]; then
      rm -f "$work/listener.out"
      /usr/bin/python3 "$here/a11y_listener.py" "$work/heard" >"$work/listener.out" 2>&1 &
      listener=$!
      for _ in $(seq 100); do
        grep -q ready "$work/listener.out" 2>/dev/null && break
        sleep 0.1
      done
      r=$(QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb "$bench" --case a11y_flood "$lines" 2>/dev/null)
      kill "$listener"; wait "$listener" 2>/dev/null
    else
      r=$(QT_QPA_PLATFORM=xcb "$bench" --case a11y_flood "$lines" 2>/dev/null)
    fi
    echo "$r" | awk "/^result a11y_lines_per_s/ { print \$3 }"
  }
  i=0
  while [ $i -lt "$pairs" ]; do
    if [ $((i % 2)) = 0 ]; then off=$(rate off); on=$(rate on)
    else on=$(rate on); off=$(rate off); fi
    echo "$off $on" >>"$work/pairs"
    i=$((i + 1))
  done
  kill "$spi" "$bus" 2>/dev/null
  exit 0
' sh "$bench" "$pairs" "$lines" "$here" "$work" "$launcher"
heard=$(awk '{ s += $1 } END { print s + 0 }' "$work/heard" 2>/dev/null || echo 0)
if [ "$heard" = 0 ]; then
    echo "a11y_flood_ratio - (the listener heard nothing with the bridge on)"
    exit 1
fi
if [ ! -s "$work/pairs" ] || grep -qv '^[0-9.]* [0-9.]*$' "$work/pairs"; then
    echo "a11y_flood_ratio - (a flood failed: $(tr '\n' ';' <"$work/pairs" 2>/dev/null))"
    exit 1
fi
awk '{ printf "%.4f\n", $1 / $2 }' "$work/pairs" | sort -n >"$work/ratios"
n=$(wc -l <"$work/ratios")
median=$(awk -v n="$n" '{ r[NR] = $1 } END {
  print (n % 2 ? r[(n + 1) / 2] : (r[n / 2] + r[n / 2 + 1]) / 2) }' "$work/ratios")
printf "a11y_flood_ratio %.2f (rounds %.2f to %.2f; %d pairs of %d lines; %d events heard)\n" \
    "$median" "$(head -1 "$work/ratios")" "$(tail -1 "$work/ratios")" "$n" "$lines" "$heard"
