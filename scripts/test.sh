#!/usr/bin/env bash
# Runs every test: a short fuzz run of each fuzz target (TRESSEL_FUZZ_SECONDS,
# default 10; 0 skips it), then two builds (a normal one and one with
# AddressSanitizer and UndefinedBehaviorSanitizer) with every test in both,
# headless. Installs what is missing first; safe to run again. The last line
# printed is ctest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

build() { # dir, extra cmake args...
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

status=0
fuzz_seconds=${TRESSEL_FUZZ_SECONDS:-10}
if [ "$fuzz_seconds" != 0 ]; then
  echo "== Fuzzing, $fuzz_seconds s per target"
  fuzz/run "$fuzz_seconds" || status=1
fi

# Line tables only (-g1): a failure's stack trace still names functions,
# files and lines, and the build takes half the time full debug information
# costs.
build build-sanitize -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 \
  -DTRESSEL_SANITIZE=ON -DTRESSEL_WERROR=OFF
echo "== Tests with AddressSanitizer and UndefinedBehaviorSanitizer"
ctest --test-dir build-sanitize --output-on-failure -j "$jobs" || status=1

# The normal build must be free of warnings; it builds the benchmark too, so
# that it keeps up with the code it measures.
build build -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" \
  -DTRESSEL_BUILD_BENCH=ON \
  -DTRESSEL_WERROR=ON
echo "== Tests"
ctest --test-dir build --output-on-failure -j "$jobs" || status=1
exit $status
