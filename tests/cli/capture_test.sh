#!/usr/bin/env bash
# watch --rate max and magnet-check --fast as a user runs them, on the simulated adapter at a
# real adapter's pace (wire time and the latency timer the program sets). The rates asked for
# here are well below what the link gives (about 500 and 2,800 a second), yet ten times the
# designed pace, so that a machine that stalls the program for a second still passes; the
# figures themselves are bench/capture_bench's.
#   capture_test.sh QE7204CTL
set -u
ctl=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
source "$(dirname "${BASH_SOURCE[0]}")/../support/readout_csv.sh"
# The latency timer the program set last, from its --trace lines.
last_latency() { grep -o 'latency timer [0-9]* ms' "$1" | tail -n 1; }

# NAME MINIMUM_RATE ARGS...
capture() {
  local name=$1 minimum=$2
  shift 2
  "$ctl" --trace --simulate watch --rate max --count 2000 --csv "$work/$name.csv" "$@" \
    >"$work/$name.out" 2>"$work/$name.err" || fail "$name: exit $?"
  local rows got
  rows=$(readout_rows "$work/$name.csv")
  got=$(readout_rate "$work/$name.csv")
  [[ $rows -eq 2000 ]] || fail "$name: $rows readouts of 2000"
  ((got >= minimum)) || fail "$name: $got readouts a second, fewer than $minimum"
  [[ $(last_latency "$work/$name.err") == "latency timer 16 ms" ]] ||
    fail "$name: the latency timer is left at $(last_latency "$work/$name.err")"
  echo "$name: $got readouts a second"
}
capture one 150
grep -q "latency timer 2 ms" "$work/one.err" || fail "one: the latency timer was not lowered"
capture eight 500 --in-flight 8
grep -qxF "2000 readouts written to $work/eight.csv" "$work/eight.out" || fail "eight: no summary"
grep -q "readouts a second, 8 in flight, latency timer 2 ms" "$work/eight.out" ||
  fail "eight: the summary does not tell 8 in flight"
# The simulated adapter takes 2 ms at the least, as the vendor's library does for most chips.
capture one-ms 150 --latency-ms 1
grep -qxF "qe7204ctl: the adapter refused a latency timer of 1 ms (status 6); capturing at 2 ms" \
  "$work/one-ms.err" || fail "one-ms: the refusal is not told"

# Ctrl-C mid-capture: the rows so far kept, status 130, the designed timer back.
"$ctl" --trace --simulate watch --rate max --in-flight 8 --count 100000000 \
  --csv "$work/stopped.csv" >/dev/null 2>"$work/stopped.err" &
interrupt_after_first_rows $! "$work/stopped.csv"
status=$?
[[ $status -eq 130 ]] || fail "stopped: exit $status, expected 130"
[[ $(last_latency "$work/stopped.err") == "latency timer 16 ms" ]] ||
  fail "stopped: the latency timer is left at $(last_latency "$work/stopped.err")"
[[ $(readout_rows "$work/stopped.csv") -gt 0 ]] || fail "stopped: no rows kept"

# A magnet 20 counts off-centre on a shaft at 3,000 RPM. A quarter turn is 5 ms there: when a
# busy machine stalls the program longer between two readouts, the turn cannot be followed
# (status 5, "turn it more slowly") and the try says nothing. Every report must be right; the
# same check on the manual clock (sim_tests, Capture.MeasuresAnOffCentreMagnet...) always runs.
reports=0
for _ in 1 2 3 4 5; do
  "$ctl" --simulate --magnet-speed 50 --magnet-off-centre 20 magnet-check --fast --json \
    >"$work/magnet.json" 2>"$work/magnet.err"
  status=$?
  if [[ $status -ne 0 ]]; then
    grep -q "too fast to follow" "$work/magnet.json" "$work/magnet.err" ||
      fail "magnet-check --fast: exit $status: $(cat "$work/magnet.json" "$work/magnet.err")"
    continue
  fi
  measured=$(grep -o '"error_first_harmonic_counts": [0-9.]*' "$work/magnet.json" | grep -o '[0-9.]*$')
  awk -v c="${measured:-0}" 'BEGIN { exit !(c >= 18 && c <= 22) }' ||
    fail "magnet-check --fast: off-centre by ${measured:-nothing} counts, not 20 +- 2"
  reports=$((reports + 1))
  echo "magnet-check --fast: off-centre by $measured counts"
  break
done
((reports > 0)) || echo "magnet-check --fast: the machine stalled every try longer than a quarter turn"

# Refused before the adapter is touched.
usage() {
  local text=$1
  shift
  "$ctl" --simulate watch "$@" >/dev/null 2>"$work/usage.err"
  local status=$?
  [[ $status -eq 2 ]] || fail "watch $*: exit $status, expected 2"
  grep -qF -- "$text" "$work/usage.err" || fail "watch $*: no '$text' in: $(cat "$work/usage.err")"
}
usage "--rate takes max or readouts a second from 1 to 100000, not 'fast'" --rate fast
usage "--in-flight takes a whole number from 1 to 16, not '17'" --rate max --in-flight 17
usage "--latency-ms takes 1 or 2, not '16'" --rate max --latency-ms 16
usage "--in-flight and --latency-ms need --rate" --in-flight 4
usage "--in-flight needs --rate max" --rate 100 --in-flight 4

if [[ $failures -ne 0 ]]; then
  echo "$failures failed"
  exit 1
fi
echo "all passed"
