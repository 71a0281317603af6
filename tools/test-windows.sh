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

for build in windows-x86:win32 windows-x64:win64; do
  IFS=: read -r preset arch <<< "$build"
  rm -f "build/${preset}/tests-run"
  unusable=$(wine_unusable "$arch")
  if [ -n "$unusable" ]; then
    # Where Wine of this architecture cannot run, only what needs no Wine is
    # built and checked: the DLLs, the programs, the export tables, the
    # packages. The test programs are not built for nothing.
    echo "== ${preset}: its tests are NOT run on this machine: ${unusable}"
    cmake --preset "${preset}" -DKEYDEPOT_TEST_DIRS=exports
    cmake --build --preset "${preset}" -j "${jobs}"
    ctest --preset "${preset}" -j "${jobs}"
    continue
  fi
  cmake --preset "${preset}"
  cmake --build --preset "${preset}" -j "${jobs}"
  # The prefix is made before ctest lists the tests, which it does with a
  # time limit per program.
  "build/${preset}/wine-run.sh" cmd /c exit
  tools/ctest-counted.sh "${preset}" -j "${jobs}"
done
# The zips and installers of both builds, from the same build folders; each
# installer is installed under Wine of its architecture, the tour runs on the
# installed programs, and it is uninstalled.
packaging=$SECONDS
tools/package.sh --windows
tools/check-windows-package.sh
echo "== Windows packages took $((SECONDS - packaging)) s"
echo "== Windows took $((SECONDS - start)) s"
