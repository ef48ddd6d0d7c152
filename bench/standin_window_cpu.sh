#!/bin/bash
# What the window costs against a plain reading loop, both through the real libftdi1 to the
# FT232R stand-in (replies when its latency timer runs out, as a real adapter sends them):
# qe7204ctl watch, which reads and writes a row every 50 ms, and the main window with
# continuous refresh and the panel closed, each alone for SECONDS after 3 s of start-up,
# ROUNDS times in turn. CPU is every thread's time on a core (schedstat), in % of one core.
# Usage: bench/standin_window_cpu.sh [BUILD_DIR] [SECONDS] [ROUNDS]
set -u
build=$(cd "${1:-build}" && pwd)
seconds=${2:-30}
rounds=${3:-2}
lib=$build/tests/usb_double/lib
[[ -e $lib/libusb-1.0.so.0 ]] || { echo "no FT232R stand-in in $lib: build target ft232r_libusb" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LD_LIBRARY_PATH=$lib QT_QPA_PLATFORM=offscreen HOME=$work
cd "$work"

cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ns += $1} END {print ns}'; }

# percent COMMAND...: the command's CPU over $seconds, in % of one core
percent() {
  "$@" >/dev/null 2>&1 &
  local pid=$!
  sleep 3
  local before start after end
  before=$(cpu_ns $pid)
  start=$(date +%s.%N)
  sleep "$seconds"
  after=$(cpu_ns $pid)
  end=$(date +%s.%N)
  kill $pid
  wait $pid 2>/dev/null
  awk -v a="$before" -v z="$after" -v s="$start" -v e="$end" \
    'BEGIN {printf "%.3f", (z - a) / 1e7 / (e - s)}'
}

for ((round = 1; round <= rounds; ++round)); do
  loop=$(percent "$build/cli/qe7204ctl" --driver libftdi watch --csv /dev/null)
  window=$(percent "$build/app/qe7204-tool" --driver libftdi)
  awk -v r=$round -v l="$loop" -v w="$window" \
    'BEGIN {printf "round %d: watch loop %s %%, window %s %% (%.2f times the loop)\n", r, l, w, w / l}'
done
