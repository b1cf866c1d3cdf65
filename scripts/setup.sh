#!/usr/bin/env bash
# Installs the Debian packages Zorvel needs to build and test. Safe to run
# again: packages already present are left alone. clang and its runtime
# libraries (libFuzzer and the sanitizers) build the fuzz targets.
set -euo pipefail

PACKAGES=(
  g++ cmake ninja-build pkg-config binutils
  rapidjson-dev libboost-dev libcli11-dev libcsv-dev zlib1g-dev
  googletest libgtest-dev libbenchmark-dev
  rsync patch
  python3 python3-pandas python3-dask python3-distributed python3-pytest
  clang libclang-rt-14-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  echo "Installing: ${missing[*]}" >&2
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
fi
