#!/usr/bin/env bash
# Builds and runs every test: the format and layer checks, the plain build, then the
# sanitizer build (AddressSanitizer + UndefinedBehaviorSanitizer), the
# threaded tests under ThreadSanitizer (the tsan preset builds only them),
# the installed package, every fuzz target for 30 seconds, the Debian
# packages, then the Windows builds (32-bit and 64-bit, MinGW-w64) with
# their tests under Wine, and their zips and installers (the tour runs on
# the installed programs of each). Exits non-zero on any failure. Pass
# --quick to skip the sanitizers, the fuzz targets, the packages and Windows.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup.sh

# Each stage's heading says when it began, so that a slow run shows where
# its time went.
stage() { echo "== $* (at $((SECONDS / 60)) min $((SECONDS % 60)) s)"; }

stage "format: every C++ file against .clang-format"
tools/check-format.sh

stage "layers: failures passed up, file access, includes and system conditions"
tools/check-layers.sh

jobs=$(nproc 2>/dev/null || echo 2)
presets=(default asan tsan)
if [ "${1:-}" = "--quick" ]; then presets=(default); fi

for preset in "${presets[@]}"; do
  stage "${preset}: configure, build, test"
  cmake --preset "${preset}"
  cmake --build --preset "${preset}" -j "${jobs}"
  tools/ctest-counted.sh "${preset}" -j "${jobs}"
done

stage "packaging: install and build a consumer project against it"
tools/check-package.sh build/default

if [ "${1:-}" != "--quick" ]; then
  stage "fuzz: every target for 30 seconds (clang, ASan + UBSan)"
  tools/fuzz.sh 30

  stage "Debian packages: build, lintian, install, use, remove"
  tools/package.sh
  tools/check-lintian.sh
  # Installing into /usr is only for throw-away machines (CI runs as root).
  if [ "$(id -u)" -eq 0 ] && [ -n "${KEYDEPOT_CHECK_DEB:-}" ]; then
    tools/check-deb.sh
  fi

  stage "Windows: both builds and their tests under Wine, the zips and installers"
  tools/test-windows.sh

  # Each Windows build runs (nearly) every test the Linux build does.
  linux=$(cat build/default/tests-run)
  for preset in windows-x86 windows-x64; do
    if [ -f "build/${preset}/tests-run" ]; then
      ran=$(cat "build/${preset}/tests-run")
      echo "== test cases run: ${preset} ${ran}, Linux ${linux} ($((100 * ran / linux))%)"
    else
      echo "== test cases run: ${preset} none (Wine of its architecture cannot run here, see above), Linux ${linux}"
    fi
  done
fi
stage "done"
