#!/usr/bin/env bash
# Sets everything up and runs every test: installs missing Debian packages,
# builds with AddressSanitizer and UndefinedBehaviorSanitizer, runs CTest.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh --tests
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build/test -G Ninja -DZOL_SANITIZE=ON -DZOL_TESTS=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/test -j "$jobs"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build/test --output-on-failure -j "$jobs"
