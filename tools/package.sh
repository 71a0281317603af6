#!/usr/bin/env bash
# Builds the release preset for an installation under /usr and makes the
# Debian packages with CPack: libkeydepot0, libkeydepot-dev, keydepot-tools
# (docs/packaging.md). They land in build/release/packages/.
#
#   tools/package.sh            set up, build, package
#   tools/package.sh --no-build package what build/release already holds
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" != "--no-build" ]; then
  tools/setup.sh
  cmake --preset release -DCMAKE_INSTALL_PREFIX=/usr
  # Only what the packages hold; tests and benchmarks are not packaged.
  targets=(keydepot nodyx keydepot-cli nodyx-admin)
  if grep -q '^KEYDEPOT_HELP2MAN:FILEPATH=/' build/release/CMakeCache.txt; then targets+=(man_pages); fi
  cmake --build --preset release -j "$(nproc 2>/dev/null || echo 2)" --target "${targets[@]}"
fi
rm -rf build/release/packages
(cd build/release && cpack -G DEB)
ls -1 build/release/packages/*.deb
