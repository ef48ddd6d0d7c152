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

readout_rows() { grep -c '^20[0-9][0-9]-' "$1"; }

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

if [[ $failures -ne 0 ]]; then
  echo "$failures failed"
  exit 1
fi
echo "all passed"
