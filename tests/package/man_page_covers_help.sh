#!/usr/bin/env bash
# Fails when a program's --help names an option that its manual page does not describe.
#   man_page_covers_help.sh <program> <manual page source>
set -euo pipefail
program=$1
page=$2

help=$(QT_QPA_PLATFORM=offscreen "$program" --help)
mapfile -t options < <(grep -oE -- '--[a-z][a-z0-9-]*' <<<"$help" | sort -u)
if ((${#options[@]} == 0)); then
    echo "no options found in the --help of $program" >&2
    exit 1
fi

missing=()
for option in "${options[@]}"; do
    # The page writes every "-" of an option as the roff minus "\-".
    grep -qF -- "${option//-/\\-}" "$page" || missing+=("$option")
done
if ((${#missing[@]})); then
    echo "$(basename "$program") --help lists ${missing[*]}, which $page does not describe." >&2
    exit 1
fi
echo "$page describes all ${#options[@]} options of $(basename "$program") --help"
