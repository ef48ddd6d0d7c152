#!/usr/bin/env bash
# The installed bash completion offers the program's own commands and options.
#   completion_test.sh QE7204CTL COMPLETION
set -euo pipefail
ctl=$1
source "$2"
failures=0
# Completes the words as typed (the last one being completed) and compares the offers.
expect() {
    local wanted=$1
    shift
    COMP_WORDS=("$ctl" "$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _qe7204ctl || true
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ')
    if [[ "$got" != "$wanted" ]]; then
        echo "FAIL: qe7204ctl $* -> '$got', expected '$wanted'" >&2
        failures=$((failures + 1))
    fi
}
expect "prog program " pro
expect "magnet-check " mag
expect "--record --record-db --record-spool " program --rec
expect "--verify-power-cycle " --simulate program --veri
expect "--serial --sim-state --simulate " --s
expect "good marginal " program --magnet-check --require ""
expect "--rate " --simulate watch --ra
expect "max " watch --rate m
expect "1 2 " watch --rate max --latency-ms ""
expect "tty " --driver t
expect " " frobnicate --nothing-like-this
((failures == 0))
