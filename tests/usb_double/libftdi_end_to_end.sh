#!/bin/bash
# qe7204ctl through the real libftdi1 against an FT232R played at the USB level: replies come
# when the adapter's latency timer runs out, as a real one sends them.
# Usage: libftdi_end_to_end.sh QE7204CTL FOLDER_WITH_THE_STAND_IN_LIBUSB
set -u
ctl=$1
export LD_LIBRARY_PATH=$2${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# run NAME EXPECTED_STATUS ARGS...: stdout in $work/NAME.out, stderr in $work/NAME.err
run() {
  local name=$1 expected=$2
  shift 2
  "$ctl" --driver libftdi "$@" >"$work/$name.out" 2>"$work/$name.err"
  local status=$?
  if [[ $status -ne $expected ]]; then
    fail "$name: exit $status, expected $expected"
    sed 's/^/  /' "$work/$name.err"
  fi
}

expect_output() {  # NAME TEXT: the output holds the text as a whole line
  grep -qxF -- "$2" "$work/$1.out" || { fail "$1: no line '$2' in:"; sed 's/^/  /' "$work/$1.out"; }
}

source "$(dirname "${BASH_SOURCE[0]}")/../support/readout_csv.sh"

run list 0 list
expect_output list $'QE000001\tfree\tlibftdi\tQE7204 interface'

# Another program has claimed the adapter's interface: listed open, and not taken.
FT232R_CLAIMED_ELSEWHERE=1 run claimed_list 0 list
expect_output claimed_list $'QE000001\topen\tlibftdi\tQE7204 interface'
FT232R_CLAIMED_ELSEWHERE=1 run claimed_show 4 show
grep -qxF "qe7204ctl: the port of every QE7204 adapter is in use by another program" \
  "$work/claimed_show.err" || { fail "claimed: no in-use message in:"; sed 's/^/  /' "$work/claimed_show.err"; }

FT232R_LOG="$work/usb.log" run scan 0 scan
expect_output scan 0
grep -q "CTL request 9 value 16$" "$work/usb.log" || fail "scan: the latency timer was not set to 16 ms"

run show 0 show
grep -q '^  Res ' "$work/show.out" || fail "show: no Res line"

# Read-modify-write-read in one process.
run set 0 set Res=1024
expect_output set Res=1024

run watch 0 watch --count 50 --csv "$work/watch.csv"
rows=$(readout_rows "$work/watch.csv")
[[ $rows -eq 50 ]] || fail "watch: $rows readouts of 50"

# A busy bus now and then holds a packet back 10 to 40 ms; the default reply time-out waits.
FT232R_LOADED_BUS=7 run loaded 0 watch --count 20 --csv "$work/loaded.csv"
rows=$(readout_rows "$work/loaded.csv")
[[ $rows -eq 20 ]] || fail "watch on a loaded bus: $rows readouts of 20"

# Pulled out mid-watch: the adapter's exit status, the adapter named, the rows so far kept.
FT232R_UNPLUG_AFTER=30 run unplugged 4 watch --count 50 --csv "$work/unplugged.csv"
grep -q "QE000001" "$work/unplugged.err" || fail "unplug: the adapter is not named"
rows=$(readout_rows "$work/unplugged.csv")
[[ $rows -gt 0 && $rows -lt 50 ]] || fail "unplug: $rows readouts kept"

# Capture: the latency timer the tool sets is 2 ms while it runs and 16 ms again afterwards.
# The rates asked for are well below what the link gives (bench/capture_bench has the figures).
last_latency() { grep -o 'CTL request 9 value [0-9]*$' "$1" | tail -n 1 | grep -o '[0-9]*$'; }
capture() {  # NAME MINIMUM_RATE ARGS...
  local name=$1 minimum=$2
  shift 2
  FT232R_LOG="$work/$name.log" run "$name" 0 watch --rate max --count 2000 --csv "$work/$name.csv" "$@"
  rows=$(readout_rows "$work/$name.csv")
  [[ $rows -eq 2000 ]] || fail "$name: $rows readouts of 2000"
  got=$(readout_rate "$work/$name.csv")
  ((got >= minimum)) || fail "$name: $got readouts a second, fewer than $minimum"
  grep -q "CTL request 9 value 2$" "$work/$name.log" || fail "$name: the latency timer was not lowered"
  [[ $(last_latency "$work/$name.log") == 16 ]] || fail "$name: the latency timer is left at $(last_latency "$work/$name.log") ms"
  echo "$name: $got readouts a second"
}
capture capture-one 150
capture capture-eight 500 --in-flight 8

# Ctrl-C mid-capture.
FT232R_LOG="$work/stopped.log" "$ctl" --driver libftdi watch --rate max --in-flight 8 \
  --count 100000000 --csv "$work/stopped.csv" >/dev/null 2>"$work/stopped.err" &
interrupt_after_first_rows $! "$work/stopped.csv"
status=$?
[[ $status -eq 130 ]] || fail "stopped capture: exit $status, expected 130"
[[ $(last_latency "$work/stopped.log") == 16 ]] ||
  fail "stopped capture: the latency timer is left at $(last_latency "$work/stopped.log") ms"

if [[ $failures -ne 0 ]]; then
  echo "$failures failed"
  exit 1
fi
echo "all passed"
