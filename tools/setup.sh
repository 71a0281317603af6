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
  # Other programs on the same token in the PKCS#11 tests: pkcs11-tool, p11tool.
  opensc gnutls-bin
  python3 help2man dpkg-dev file man-db clang-format
  # The Debian packages checked as Debian checks its own.
  lintian
  # The Windows builds and their tests under Wine (docs/windows.md).
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix googletest wine wine64
  # The Windows zips and installers (docs/packaging.md).
  nsis 7zip
)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
updated=
install() {
  echo "setup: installing $*"
  if [ -z "$updated" ]; then "${sudo_cmd[@]}" apt-get update -qq; updated=1; fi
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "$@"
}

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then install "${missing[@]}"; fi

# 32-bit Wine runs the 32-bit Windows build's tests: i386 packages beside
# the machine's own. Some kernels run no 32-bit program (booted with
# ia32_emulation=off, as some virtual machines are); the 32-bit C library's
# loader tells, before Wine's 300-odd packages are fetched for nothing.
if ! installed wine32:i386; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
    updated=
  fi
  installed libc6:i386 || install libc6:i386
  if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    install wine32:i386
  else
    echo "setup: this machine's kernel runs no 32-bit programs: no 32-bit Wine, so the 32-bit Windows build's tests will not run here"
  fi
fi
