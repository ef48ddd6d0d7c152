#!/usr/bin/env bash
# Installs what the build needs and builds into build/. Sourced by ./run and ./test.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libqt6dbus6 libgl-dev qt6-serialport-dev libftdi1-dev libusb-1.0-0-dev
  qt6-charts-dev
  libjpeg62-turbo-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev
  fonts-liberation fonts-wine fonts-dejavu-core
  qt6-svg-dev
  pybind11-dev python3-dev python3-pytest
  libqt6sql6-sqlite libqt6sql6-psql postgresql
)
# A script that sources this one may ask for more in `extra_packages` (./package does).
packages+=(${extra_packages[@]+"${extra_packages[@]}"})

# The fuzz campaigns (./fuzz.sh) build with clang and its libFuzzer runtime.
fuzz_packages=(clang libclang-rt-14-dev)
[[ "${QE7204_FUZZ_SETUP:-}" == "1" ]] && packages+=("${fuzz_packages[@]}")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  if [[ $(id -u) -eq 0 ]]; then sudo=""
  elif command -v sudo >/dev/null; then sudo="sudo"
  else
    echo "Please install the missing packages as root:" >&2
    echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# Another build folder, further CMake options and a single target to build may be given (the
# sanitizer pass and the fuzz campaigns use them).
build="${QE7204_BUILD_DIR:-$root/build}"
cmake_args=(-S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${QE7204_CMAKE_ARGS:-})
[[ "${CI:-}" == "true" ]] && cmake_args+=(-DQE7204_WERROR=ON)
# Reuse earlier compilations where ccache is installed (it is optional).
command -v ccache >/dev/null && cmake_args+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
if [[ ! -f "$build/build.ninja" ]] || [[ "${CI:-}" == "true" ]]; then
  cmake "${cmake_args[@]}" >/dev/null
fi
cmake --build "$build" -j "$(nproc)" ${QE7204_BUILD_TARGET:+--target "$QE7204_BUILD_TARGET"}
