#!/usr/bin/env bash
# Fails when a C++ source differs from what clang-format makes of it (.clang-format at the root).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
if ! command -v clang-format >/dev/null; then
  if [[ $(id -u) -eq 0 ]]; then sudo=""; else sudo="sudo"; fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq clang-format
fi
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror
echo "Formatting: every C++ source is as clang-format makes it"
