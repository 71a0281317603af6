#!/usr/bin/env bash
# Builds the benchmark programs of the optimised tree and runs every one
# (bin/*_bench), printing their tables.
#
#   tools/bench.sh [build-folder] [-- benchmark options...]
#
# The build folder defaults to build/release (the `release` preset). Options
# after `--` go to every program, e.g. `-- --benchmark_min_time=0.1`.
# The machines here are shared: compare the ratios printed at the end of each
# table, not absolute times across runs (docs/benchmarks.md).
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/release
if [ $# -gt 0 ] && [ "$1" != "--" ]; then build=$1; shift; fi
if [ "${1:-}" = "--" ]; then shift; fi
options=("$@")

tools/setup.sh

jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset release -B "$build" >/dev/null
# Only the benchmark programs (and what they need): a test that does not
# compile under optimisation must not keep the figures from being taken.
mapfile -t programs < <(cmake --build "$build" --target help | sed -n 's/^\([A-Za-z0-9_.-]*_bench\): .*/\1/p')
if [ ${#programs[@]} -eq 0 ]; then
  echo "bench: no *_bench targets in $build" >&2
  exit 1
fi
cmake --build "$build" -j "$jobs" --target "${programs[@]}"

# The machines are shared and file times swing with the disk's other work:
# every program repeats each benchmark 5 times in random interleaving and
# reports medians, and its ratios are taken from those medians.
repeated=(--benchmark_repetitions=5 --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true)

# Every ratio line with a goal ends in "met" or "MISSED"; they are gathered
# into the summary at the end, one line per goal of the tables.
summary=$(mktemp)
output=$(mktemp)
trap 'rm -f "$summary" "$output"' EXIT

status=0
shopt -s nullglob
for program in "$build"/bin/*_bench; do
  name=$(basename "$program")
  echo
  echo "== $name"
  "$program" "${repeated[@]}" "${options[@]}" | tee "$output" || status=1
  grep -E ' (met|MISSED)$' "$output" | sed "s/^ */$name: /" >>"$summary" || true
done

# The library beside a component that does not pin itself: shows what every
# device path would cost if the component were unloaded after each use, and
# that an open session keeps it loaded.
unpinned="$build/bench/library-unpinned"
if [ -x "$build/bin/device_path_bench" ] && [ -e "$unpinned/nodyx.so" ]; then
  echo
  echo "== device_path_bench, component without self-pinning"
  # The build tree keeps its libraries where they install (lib, or lib/<multiarch> under /usr).
  libdir=$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' "$build/CMakeCache.txt")
  LD_LIBRARY_PATH="$unpinned:$build/${libdir:-lib}${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" \
    "$build/bin/device_path_bench" "${repeated[@]}" "${options[@]}" || status=1
fi

echo
echo "== Goals: ratio against the peer or raw call measured in the same run (wall, cpu, goal)"
echo "   load average: $(cut -d' ' -f1-3 /proc/loadavg 2>/dev/null || echo '?')"
sed 's/  */ /g' "$summary"
exit $status
