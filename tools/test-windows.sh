#!/usr/bin/env bash
# The Windows builds (MinGW-w64): windows-x86 and windows-x64, each built and
# its tests run under Wine of its architecture; then the zip and the
# installer of each, checked, and the tour on each build's programs as its
# installer installs them (tools/check-windows-package.sh). Fresh Wine
# prefixes in a temporary folder, removed at the end. Prints how long it
# took. Part of tools/test-all.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
start=$SECONDS
jobs=$(nproc 2>/dev/null || echo 2)

KEYDEPOT_WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/keydepot-wine.XXXXXX")
export KEYDEPOT_WINEPREFIX
. tools/wine-env.sh
wineserver=$(wine_server)
# The builds' emulator (cmake/wine-run.sh.in) makes one prefix per
# architecture in it, each with its own server.
trap 'for p in "$KEYDEPOT_WINEPREFIX"/*; do WINEPREFIX=$p "$wineserver" -k 2>/dev/null || true; done
      rm -rf "$KEYDEPOT_WINEPREFIX"' EXIT

for preset in windows-x86 windows-x64; do
  cmake --preset "${preset}"
  cmake --build --preset "${preset}" -j "${jobs}"
  # The prefix is made before ctest lists the tests, which it does with a
  # time limit per program.
  "build/${preset}/wine-run.sh" cmd /c exit
  tools/ctest-counted.sh "${preset}" -j "${jobs}"
done
# The zips and installers of both builds, from the same build folders; the
# 64-bit installer is installed under Wine, the tour runs on the installed
# programs, and it is uninstalled.
packaging=$SECONDS
tools/package.sh --windows
tools/check-windows-package.sh
echo "== Windows packages took $((SECONDS - packaging)) s"
echo "== Windows took $((SECONDS - start)) s"
