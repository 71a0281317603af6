#!/usr/bin/env bash
# Builds the fuzz targets (fuzz preset: clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each on its seeds for the given number
# of seconds, as many at a time as the machine has cores. Fails if any
# target finds a problem (crash, sanitizer report, leak, timeout, memory
# limit); the input that found it is kept in
# build/fuzz/findings/. Inputs the fuzzer discovers go to a scratch corpus,
# never into fuzz/corpus/.
# Usage: tools/fuzz.sh [seconds per target, default 30] [target...]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-30}
[ $# -gt 0 ] && shift
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for dir in fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc 2>/dev/null || echo 2)"

# Absolute paths: the targets work inside a sandbox folder of their own.
root=$(pwd)
bin=$root/build/fuzz/fuzz/bin
findings=$root/build/fuzz/findings
mkdir -p "$findings"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# One target per core at a time; each prints its lines when it ends.
fuzz_one() {
  local target=$1
  mkdir -p "$scratch/$target"
  if ! "$bin/fuzz_${target}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -dict="$root/fuzz/dict/${target}.dict" -artifact_prefix="$findings/${target}-" -print_final_stats=1 \
       "$scratch/$target" "$root/fuzz/corpus/$target" >"$scratch/$target.log" 2>&1; then
    tail -n 60 "$scratch/$target.log"
    echo "fuzz: fuzz_${target} found a problem; the input is in $findings/" >&2
    return 1
  fi
  echo "== fuzz_${target}: ${seconds} s: $(grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb' \
    "$scratch/$target.log" | tr '\n' ' ')"
}

jobs=$(nproc 2>/dev/null || echo 2)
failed=0
running=0
for target in "${targets[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n || failed=1
    running=$((running - 1))
  fi
  fuzz_one "$target" &
  running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
  wait -n || failed=1
  running=$((running - 1))
done
exit "$failed"
