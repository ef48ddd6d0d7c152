#!/usr/bin/env bash
# Runs a libFuzzer campaign: ./fuzz.sh TARGET SECONDS (the targets themselves are in fuzz/)
#   TARGET: configuration_file, ini_file, dial_jpeg or adapter_replies
# Builds with clang into build-fuzz/, starts from the target's seed corpus (fuzz/corpus/TARGET,
# copied, so the repository is not changed) and writes any crash to build-fuzz/crashes/TARGET/.
# Keep a crash by copying it to fuzz/crashes/TARGET/: every build then replays it as a test.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
targets=(configuration_file ini_file dial_jpeg adapter_replies)

usage() {
  echo "usage: $0 TARGET SECONDS   (TARGET: ${targets[*]})" >&2
  exit 2
}
(($# == 2)) || usage
target=$1
seconds=$2
[[ " ${targets[*]} " == *" $target "* ]] || usage
[[ "$seconds" =~ ^[0-9]+$ ]] || usage

export QE7204_FUZZ_SETUP=1
export QE7204_BUILD_DIR="$root/build-fuzz"
export QE7204_CMAKE_ARGS="-DQE7204_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++"
export QE7204_BUILD_TARGET="fuzz_$target"
source "$root/tools/setup.sh"

work="$QE7204_BUILD_DIR/corpus/$target"
crashes="$QE7204_BUILD_DIR/crashes/$target"
mkdir -p "$work" "$crashes"
cp -n "$root/fuzz/corpus/$target/"* "$work/" 2>/dev/null || true

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/tools/lsan.supp:print_suppressions=0"
export QT_QPA_PLATFORM=offscreen
"$QE7204_BUILD_DIR/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$crashes/" "$work"
