#!/usr/bin/env bash
# Fails when a program's --help names an option or a command that its manual page does not
# describe.
#   man_page_covers_help.sh <program> <manual page source>
set -euo pipefail
program=$1
page=$2
name=$(basename "$program")

help=$(QT_QPA_PLATFORM=offscreen "$program" --help)
mapfile -t options < <(grep -oE -- '--[a-z][a-z0-9-]*' <<<"$help" | sort -u)
# Commands: the first word of each line of a "Commands:" section.
mapfile -t commands < <(awk '/^Commands:/ { inside = 1; next }
                             inside && !/^ / { inside = 0 }
                             inside && NF { print $1 }' <<<"$help")
if ((${#options[@]} == 0)); then
    echo "no options found in $name --help" >&2
    exit 1
fi

missing=()
for option in "${options[@]}"; do
    # The page writes every "-" as the roff minus "\-".
    grep -qF -- "${option//-/\\-}" "$page" || missing+=("$option")
done
for command in ${commands[@]+"${commands[@]}"}; do
    # Named in bold at the head of its paragraph: ".B name", ".BR "name ...", "\fBname\fR".
    roff=${command//-/\\\\-}
    grep -qE -- "^\.B[IR]? +\"?${roff}([ \"]|$)|^\\\\fB${roff}\\\\f" "$page" || missing+=("$command")
done
if ((${#missing[@]})); then
    echo "$name --help lists ${missing[*]}, which $page does not describe." >&2
    exit 1
fi
echo "$page describes the ${#options[@]} options and ${#commands[@]} commands of $name --help"
