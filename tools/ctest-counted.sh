#!/usr/bin/env bash
# Runs one preset's tests with ctest and keeps how many ran (not skipped)
# in build/<preset>/tests-run, so that CI can compare the builds' counts.
#   tools/ctest-counted.sh PRESET [ctest options...]
set -euo pipefail
cd "$(dirname "$0")/.."
preset=$1
shift
report="build/${preset}/tests-run.xml"
status=0
ctest --preset "${preset}" --output-junit "${PWD}/${report}" "$@" || status=$?
grep -c '<testcase .*status="run"' "${report}" > "build/${preset}/tests-run" || true
echo "== ${preset}: $(cat "build/${preset}/tests-run") test cases ran"
exit "${status}"
