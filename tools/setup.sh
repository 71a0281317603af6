#!/usr/bin/env bash
# Installs, with apt-get, every Debian package keydepot needs to build and
# test. Does nothing for packages already present.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
  libboost-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev libcli11-dev libpugixml-dev
  libssl-dev openssl
  libp11-kit-dev p11-kit softhsm2
  python3 help2man dpkg-dev file man-db clang-format
  # The Windows builds and their tests under Wine (docs/windows.md).
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix googletest wine wine64 wine32:i386
  # The Windows zips and installers (docs/packaging.md).
  nsis 7zip
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
# 32-bit Wine runs the 32-bit Windows build's tests: i386 packages beside
# the machine's own.
if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
