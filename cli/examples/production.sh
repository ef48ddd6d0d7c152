#!/usr/bin/env bash
# Programs one encoder on a production bench: finds the adapter, loads the golden
# configuration, stores it in the chip's EEPROM, checks that it is there (also after a
# power cycle), keeps what the chip holds and logs its readouts to CSV.
#
#   production.sh GOLDEN.qcf LOG-FOLDER [qe7204ctl options...]
#
# QE7204CTL names the program (default: qe7204ctl on the PATH); READOUTS the number of
# readouts logged (default 1000, one every 50 ms). Any step that fails stops the script
# with qe7204ctl's reason on stderr and a non-zero exit status.
set -euo pipefail

golden=$1
logs=$2
shift 2
ctl=("${QE7204CTL:-qe7204ctl}" "$@")
readouts=${READOUTS:-1000}
unit=$(date -u +%Y%m%dT%H%M%SZ)
mkdir -p "$logs"

# 1. The adapter: the first one that no other program holds.
serial=$("${ctl[@]}" list | awk -F'\t' '$2 == "free" { print $1; exit }')
if [[ -z $serial ]]; then
  echo "no free QE7204 adapter" >&2
  exit 1
fi
ctl+=(--serial "$serial")

# 2. The golden configuration into the working registers, then into the EEPROM. prog
#    reads the EEPROM back and fails unless it equals the working registers.
"${ctl[@]}" load "$golden"
"${ctl[@]}" prog

# 3. The chip holds the golden configuration, also once it has been switched off and on
#    (diff exits with 3 when anything differs).
"${ctl[@]}" diff "$golden"
"${ctl[@]}" power off
"${ctl[@]}" diff "$golden"

# 4. Keep what this chip holds, and log its readouts.
"${ctl[@]}" save "$logs/$unit.qcf"
"${ctl[@]}" watch --count "$readouts" --csv "$logs/$unit.csv"
echo "$unit: programmed, verified, $readouts readouts in $logs/$unit.csv"
