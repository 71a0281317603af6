#!/usr/bin/env bash
# Builds the release preset for an installation under /usr and makes the
# Debian packages with CPack: libkeydepot0, libkeydepot-dev, keydepot-tools
# (docs/packaging.md). They land in build/release/packages/.
#
#   tools/package.sh            set up, build, package
#   tools/package.sh --no-build package what build/release already holds
#   tools/package.sh --windows  the zip and the installer of each Windows
#                               build, in build/windows-*/packages/
set -euo pipefail
cd "$(dirname "$0")/.."
# Only what the packages hold; tests and benchmarks are not packaged.
targets=(keydepot nodyx keydepot-cli nodyx-admin)

if [ "${1:-}" = "--windows" ]; then
  # From the Windows builds as they stand (CI's, made by tools/test-windows.sh,
  # or one configured with another build type); a missing one is configured.
  for preset in windows-x86 windows-x64; do
    if [ ! -f "build/${preset}/CMakeCache.txt" ]; then
      tools/setup.sh
      cmake --preset "${preset}"
    fi
    cmake --build --preset "${preset}" -j "$(nproc 2>/dev/null || echo 2)" --target "${targets[@]}"
    rm -rf "build/${preset}/packages"
    (cd "build/${preset}" && cpack >/dev/null)
    ls -1 "build/${preset}"/packages/*.zip "build/${preset}"/packages/*.exe
  done
  exit 0
fi

if [ "${1:-}" != "--no-build" ]; then
  tools/setup.sh
  cmake --preset release -DCMAKE_INSTALL_PREFIX=/usr
  if grep -q '^KEYDEPOT_HELP2MAN:FILEPATH=/' build/release/CMakeCache.txt; then targets+=(man_pages); fi
  cmake --build --preset release -j "$(nproc 2>/dev/null || echo 2)" --target "${targets[@]}"
fi
rm -rf build/release/packages
(cd build/release && cpack -G DEB)
ls -1 build/release/packages/*.deb
