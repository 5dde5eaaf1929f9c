#!/usr/bin/env bash
# A timed fuzzing campaign: builds the libFuzzer targets with clang into build-fuzz (or $DIALDEX_FUZZ_BUILD)
# and runs each target for the given seconds (default 600), two at a time (the machine has two cores).
# Each target starts from its seed corpus in tests/fuzz/corpus/<target>/ and grows a working corpus in
# <build>/corpus/<target>/; crash inputs land in <build>/crashes/<target>/ (copy them into the seed corpus
# after mending the fault, so they stay tests). Prints executions per target at the end.
#   bench/fuzz.sh [SECONDS [TARGET...]]       e.g. bench/fuzz.sh 60 format script
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
shift || true
build=${DIALDEX_FUZZ_BUILD:-$top/build-fuzz}
parallel=${DIALDEX_FUZZ_JOBS:-2}

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in "$top"/tests/fuzz/*_fuzz.cpp; do
    name=$(basename "$source" .cpp)
    targets+=("${name%_fuzz}")
  done
fi

CC=clang CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DDIALDEX_FUZZ=ON > "$build.configure.log" 2>&1 ||
  { cat "$build.configure.log"; exit 1; }
ninja -C "$build" -j2 $(printf '%s_fuzz ' "${targets[@]}") || exit 1

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
run_target() {
  local target=$1
  mkdir -p "$build/corpus/$target" "$build/crashes/$target"
  # -rss_limit_mb guards against runaway allocation; -max_len lets database inputs hold a few records.
  "$build/${target}_fuzz" "$build/corpus/$target" "$top/tests/fuzz/corpus/$target" \
    -max_total_time="$seconds" -max_len=4096 -rss_limit_mb=2048 -timeout=20 -print_final_stats=1 \
    -artifact_prefix="$build/crashes/$target/" > "$build/fuzz-$target.log" 2>&1
  echo "$target: exit $? $(grep -h 'stat::number_of_executed_units' "$build/fuzz-$target.log" | awk '{print $2}') executions"
}

running=0
for target in "${targets[@]}"; do
  run_target "$target" &
  running=$((running + 1))
  if [ "$running" -ge "$parallel" ]; then
    wait -n
    running=$((running - 1))
  fi
done
wait
echo "crash inputs:"
find "$build/crashes" -type f | sed 's/^/  /'
