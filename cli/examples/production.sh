#!/usr/bin/env bash
# Programs one encoder on a production bench: finds the adapter, then in one run that holds
# the adapter throughout loads the golden configuration, stores it in the chip's EEPROM,
# checks that it is there (also after a power cycle), logs the readouts to CSV and keeps
# the unit's record.
#
#   production.sh GOLDEN.qcf LOG-FOLDER [qe7204ctl options...]
#
# QE7204CTL names the program (default: qe7204ctl on the PATH); READOUTS the number of
# readouts logged (default 1000, one every 50 ms). A unit that fails stops the script with
# qe7204ctl's reason on stderr and its exit status; its record says which step failed.
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

# 2. The unit: the golden configuration into the working registers and the EEPROM, every
#    register read back and compared with it, again after a power cycle, then the readouts
#    logged. The record is written whether the unit passes or not.
"${ctl[@]}" --serial "$serial" program --verify-power-cycle \
  --log "$readouts" "$logs/$unit.csv" --record "$logs/$unit.json" "$golden"
echo "$unit: programmed, verified, $readouts readouts in $logs/$unit.csv"
