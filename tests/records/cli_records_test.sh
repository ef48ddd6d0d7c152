#!/bin/bash
# qe7204ctl program --record-db and db on the simulated adapter and a SQLite file: the record
# goes in, a record the database cannot take waits in the spool with exit status 8, flush
# sends it, the report counts both.
set -u
ctl=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect_status() {  # EXPECTED ARGS...
  local expected=$1
  shift
  "$ctl" "$@" >out.txt 2>err.txt
  local status=$?
  [[ $status -eq $expected ]] || { fail "$* exited $status, expected $expected"; cat err.txt; }
}

expect_status 0 --simulate save golden.qcf
expect_status 0 --simulate program golden.qcf --record-db sqlite:units.db --station ST-1 \
  --record-spool spool.jsonl
expect_status 8 --simulate program golden.qcf --record-db sqlite:later/units.db \
  --record-spool spool.jsonl
grep -q "waits in spool.jsonl" err.txt || fail "the spool is not named: $(cat err.txt)"
[[ $(wc -l <spool.jsonl) -eq 1 ]] || fail "the spool does not hold the record"
expect_status 8 db report sqlite:later/units.db
[[ -e later/units.db ]] && fail "a report made a database file"
mkdir later
expect_status 0 db flush sqlite:later/units.db --record-spool spool.jsonl
grep -q "^sent 1 kept records" out.txt || fail "flush: $(cat out.txt)"
expect_status 0 --json db report sqlite:later/units.db
grep -q '"units": 1' out.txt || fail "report after flush: $(cat out.txt)"
expect_status 0 db report sqlite:units.db --station ST-1 --csv
grep -q "^all,,1,1,100.0," out.txt || fail "report: $(cat out.txt)"
expect_status 2 --simulate program golden.qcf --record-db mysql://db/units
expect_status 2 db report sqlite:units.db --record-spool x

if [[ $failures -ne 0 ]]; then
  echo "$failures failed"
  exit 1
fi
echo "all passed"
