#!/usr/bin/env bash
# Builds Uplark, the stand-in site and the tests with AddressSanitizer and
# UndefinedBehaviorSanitizer into build-asan/, and runs the whole test suite
# there. Any report of either sanitizer fails the test it happens in.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DUPLARK_SANITIZE=ON >/dev/null
cmake --build build-asan -j "$(nproc)"

# Leak checks stay on: the suite runs offscreen and, as measured, neither our
# code nor Qt leaves a leak report, so nothing is suppressed.
export ASAN_OPTIONS="detect_leaks=1:check_initialization_order=1:strict_init_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir build-asan --output-on-failure -j 2 "$@"
