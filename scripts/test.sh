#!/usr/bin/env bash
# Runs every test, headless, in two builds: one with clang,
# AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/), which also
# holds the fuzz targets and runs each for a short while first
# (TRESSEL_FUZZ_SECONDS, default 10; 0 skips the fuzzing), and a normal one
# (build/) with gcc; each must build without a warning. Installs what is
# missing first; safe to run again. Prints how long each step took; the
# last line printed is ctest's summary of the normal build.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh fuzz

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

step_start=$SECONDS
step() { # what comes next; says how long the step before it took
  echo "== ($((SECONDS - step_start)) s) $*"
  step_start=$SECONDS
}

build() { # dir, extra cmake args...
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

# One CTest run over every test. Every test but the fault tests takes
# core_share of CTest's job slots (tests/CMakeLists.txt), and CTest has
# core_share slots for each core and a dozen more: one ordinary test runs
# per core, and the fault tests, which wait on the network's clocks, run
# beside them rather than in their places.
core_share=16
run_tests() { # dir
  local dir=$1
  ctest --test-dir "$dir" --output-on-failure -j "$((jobs * core_share + 12))"
}

status=0
# Line tables only (-g1): a failure's stack trace still names functions,
# files and lines, and the build takes half the time full debug information
# costs.
step "Building with the sanitizers and the fuzz targets (clang)"
CXX=clang++ build build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 \
  -DTRESSEL_FUZZ=ON -DTRESSEL_WERROR=ON -DTRESSEL_TEST_CORE_SHARE=$core_share
fuzz_seconds=${TRESSEL_FUZZ_SECONDS:-10}
if [ "$fuzz_seconds" != 0 ]; then
  step "Fuzzing, $fuzz_seconds s per target"
  FUZZ_BUILT=build-asan fuzz/run "$fuzz_seconds" || status=1
fi
step "Tests with AddressSanitizer and UndefinedBehaviorSanitizer"
run_tests build-asan || status=1

# The normal build builds the benchmark too, so that it keeps up with the
# code it measures. The program is built as it is shipped (-O2), the tests'
# own code with -O1.
step "Building without the sanitizers"
build build -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" \
  -DTRESSEL_TEST_OPTIMIZE=-O1 -DTRESSEL_BUILD_BENCH=ON -DTRESSEL_WERROR=ON \
  -DTRESSEL_TEST_CORE_SHARE=$core_share
step "Tests"
run_tests build || status=1
exit $status
