#!/usr/bin/env bash
# The README's production script, run as it stands on the simulated adapter.
#   production_script_test.sh QE7204CTL SCRIPT README
set -euo pipefail
ctl=$1
script=$2
readme=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
state=$work/bench.state

# The README shows this very script.
diff <(awk '/^```bash$/ && shown { inside = 1; next } /^```$/ { inside = 0; shown = 0 }
            inside { print } /cli\/examples\/production.sh/ { shown = 1 }' "$readme") "$script"

# A golden configuration, made on one simulated chip...
"$ctl" --simulate --sim-state "$state" set Res=1024 Dact=Tacho Sth=64 >/dev/null
"$ctl" --simulate --sim-state "$state" save "$work/golden.qcf" >/dev/null
rm "$state"

# ...goes into a fresh one.
QE7204CTL=$ctl READOUTS=20 "$script" "$work/golden.qcf" "$work/logs" --simulate --sim-state "$state"

csv=$(ls "$work"/logs/*.csv)
lines=$(grep -vc '^#' "$csv")
if [[ $lines -ne 21 ]]; then
  echo "expected a header and 20 readouts in $csv, found $lines lines" >&2
  exit 1
fi
grep -q '"result": "pass"' "$work"/logs/*.json
grep -q '"failed_step": null' "$work"/logs/*.json

# A chip that cannot keep the configuration stops the script at prog.
printf '\x00\x01\x00\x00\x01\x00\xc0\x01\x34\x12\x00\x00\x00\x00\x00\x00' >"$work/bad.qcf"
rm "$state"
if QE7204CTL=$ctl READOUTS=20 "$script" "$work/bad.qcf" "$work/bad" --simulate --sim-state "$state" \
    2>"$work/err"; then
  echo "the script went on after a failed prog" >&2
  exit 1
fi
grep -qx 'qe7204ctl: The data was not correctly written to the EEPROM' "$work/err"
# Nothing logged; the record tells where the unit failed.
[[ -z $(ls "$work"/bad/*.csv 2>/dev/null) ]]
grep -q '"failed_step": "prog"' "$work"/bad/*.json
