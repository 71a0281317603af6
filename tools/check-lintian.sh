#!/usr/bin/env bash
# Checks the Debian packages that tools/package.sh made with lintian, as
# Debian checks its own: any error, and any warning the package does not
# explain in a lintian override (usr/share/lintian/overrides/), fails.
set -euo pipefail
cd "$(dirname "$0")/.."
# --no-cfg: the machine's own lintian settings play no part. Lintian warns
# that it runs as root (CI does); that line is not about the packages.
status=0
report=$(lintian --no-cfg --fail-on error,warning build/release/packages/*.deb 2>&1) || status=$?
grep -v '^running with root privileges is not recommended!$' <<< "$report" || true
if [ "$status" -ne 0 ]; then
  echo "lintian: the packages above are not clean" >&2
  exit "$status"
fi
echo "lintian: no errors, no unexplained warnings"
