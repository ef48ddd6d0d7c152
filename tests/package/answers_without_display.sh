#!/usr/bin/env bash
# The window program answers a mistake, --help and --version on a machine without a display:
# it must not try to open a window for them.
#   answers_without_display.sh <qe7204-tool>
set -uo pipefail
program=$1
name=$(basename "$program")
failed=0
run() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" "$@"; }

err=$(run --bogus 2>&1 >/dev/null)
status=$?
expected="Unknown option 'bogus'.
Try '$name --help'."
if [[ $status -ne 2 || "$err" != "$expected" ]]; then
    echo "--bogus: exit $status, stderr:" >&2
    echo "$err" >&2
    failed=1
fi

err=$(run --simulate --chips 9 2>&1 >/dev/null)
status=$?
if [[ $status -ne 2 || "$err" != "--chips takes a whole number from 0 to 4, not '9'.
Try '$name --help'." ]]; then
    echo "--chips 9: exit $status, stderr: $err" >&2
    failed=1
fi

for answer in --help --version; do
    out=$(run "$answer" 2>/dev/null)
    status=$?
    if [[ $status -ne 0 || -z "$out" ]]; then
        echo "$answer: exit $status" >&2
        failed=1
    fi
done
exit $failed
