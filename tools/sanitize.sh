#!/usr/bin/env bash
# Builds everything into build-asan/ with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs the whole test suite there; any finding fails the run.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export QE7204_BUILD_DIR="$root/build-asan"
export QE7204_CMAKE_ARGS="-DQE7204_SANITIZE=ON"
source "$root/tools/setup.sh"

# Leaks are findings too; tools/lsan.supp is where a leak in a library we cannot mend would
# be suppressed (QE7204_DETECT_LEAKS=0 turns leak checking off for a run).
export ASAN_OPTIONS="detect_leaks=${QE7204_DETECT_LEAKS:-1}:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
export LSAN_OPTIONS="suppressions=$root/tools/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
cd "$QE7204_BUILD_DIR"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)" --timeout 900
