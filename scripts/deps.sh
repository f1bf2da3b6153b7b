#!/usr/bin/env bash
# Installs the Debian 12 packages Tressel needs to build, test or run, but
# only those that are missing; safe to run again. Usage: deps.sh [run|fuzz]
# (running needs nothing the tests do not: "run" changes nothing; "fuzz"
# adds clang and its runtime with libFuzzer and the sanitizers, for the
# fuzz targets and the sanitizer build, and LLVM's linker, which links the
# test programs in a quarter of the time).
set -euo pipefail

# The tests include one on a virtual X server (xvfb-run) that reads window
# names with xprop (x11-utils), and one that builds the Debian package
# (dpkg-shlibdeps from dpkg-dev reads its dependencies), and one that checks
# the sources are formatted (clang-format); the desktop notification tests
# run a session bus of their own (dbus-daemon). The layout tests lay the
# windows out in Debian's, GNOME's and KDE's default faces and Liberation
# Sans, and fail where one is missing. The screen reader test reads the
# window over an accessibility bus of its own (at-spi2-core) with Python's
# AT-SPI client (python3-pyatspi), with Debian's screen reader (orca)
# listening, whose debug file shows what it speaks. The history needs Qt's
# SQLite driver (libqt6sql6-sqlite), a plugin loaded at run time. The fault
# tests build network namespaces and cut the link between them (iproute2,
# iptables).
packages=(g++ cmake ninja-build qt6-base-dev qt6-multimedia-dev libgl-dev
          fonts-dejavu-core fonts-liberation fonts-noto-core fonts-cantarell
          locales qt6-qpa-plugins xvfb xauth x11-utils dpkg-dev file
          clang-format dbus-daemon at-spi2-core python3-pyatspi orca
          libqt6sql6-sqlite iproute2 iptables)
if [ "${1:-}" = fuzz ]; then
  packages+=(clang libclang-rt-14-dev lld)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
