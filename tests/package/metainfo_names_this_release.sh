#!/usr/bin/env bash
# Fails when the newest release in the AppStream metainfo is not the version being built.
#   metainfo_names_this_release.sh <metainfo file> <major.minor.patch>
set -euo pipefail
newest=$(grep -oE '<release version="[^"]+"' "$1" | head -n 1 | cut -d'"' -f2)
if [[ "$newest" != "$2" ]]; then
    echo "The newest release in $1 is '$newest', the build is $2: add a <release> entry." >&2
    exit 1
fi
