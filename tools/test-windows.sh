#!/usr/bin/env bash
# The Windows builds (MinGW-w64): windows-x86, built and its exports checked
# (32-bit Wine does not install here), then windows-x64, built, its tests run
# under Wine; then the zip and the installer of each, checked, and the tour
# on the 64-bit programs as the installer installs them
# (tools/check-windows-package.sh). A fresh Wine prefix in a temporary folder,
# removed at the end. Prints how long it took. Part of tools/test-all.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
start=$SECONDS
jobs=$(nproc 2>/dev/null || echo 2)

KEYDEPOT_WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/keydepot-wine.XXXXXX")
export KEYDEPOT_WINEPREFIX
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
trap 'WINEPREFIX=$KEYDEPOT_WINEPREFIX "$wineserver" -k 2>/dev/null || true; rm -rf "$KEYDEPOT_WINEPREFIX"' EXIT

for preset in windows-x86 windows-x64; do
  cmake --preset "${preset}"
  cmake --build --preset "${preset}" -j "${jobs}"
  ctest --preset "${preset}" -j "${jobs}"
done
# The zips and installers of both builds, from the same build folders; the
# 64-bit installer is installed under Wine, the tour runs on the installed
# programs, and it is uninstalled.
packaging=$SECONDS
tools/package.sh --windows
tools/check-windows-package.sh
echo "== Windows packages took $((SECONDS - packaging)) s"
echo "== Windows took $((SECONDS - start)) s"
