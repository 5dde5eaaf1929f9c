#!/usr/bin/env bash
# Load: a query that matches every record of a 10,000,000-subscriber directory (the most a 7-digit phone
# field can tell apart), searched through the window system as a user would, with the phone pattern "?",
# side by side with `dialdex-find` printing the same rows to a pipe. The search must end through its
# normal end with every row; its peak memory must stay within 2.5 GB and its time (Start to the final
# status) within 2.5 times dialdex-find's. Reports the status line, the peak memory, the times
# (/usr/bin/time -v) and the ratio.
#   bench/load.sh [SUBSCRIBERS [zdb|db [ROUNDS]]]      (default 10000000 zdb 1)
# DIALDEX_BUILD names the build folder with dialdex, dialdex-find and dialdex-mkdb (default build/, built
# if missing).
# The directory is made once into bench/data/ and kept.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
subscribers=${1:-10000000}
form=${2:-zdb}
rounds=${3:-1}
build=${DIALDEX_BUILD:-$top/build}
[ -x "$build/dialdex" ] && [ -x "$build/dialdex-find" ] && [ -x "$build/dialdex-mkdb" ] ||
  "$top/scripts/build.sh" "$build"
[ -x /usr/bin/time ] || DIALDEX_EXTRA_PACKAGES="time" "$top/scripts/install-dependencies.sh"

mkdir -p "$top/bench/data"
database="$top/bench/data/load-$subscribers.$form"
if [ ! -f "$database" ]; then
  echo "making $database"
  /usr/bin/time -f "  made in %e s, peak %M KiB" "$build/dialdex-mkdb" demo "$subscribers" "$database.part" \
    --seed 11 --title LOAD
  mv "$database.part" "$database"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
device="$work/device"
mkdir -p "$device/Program Files/Dialdex" "$device/Databases"
# An empty section: the built-in English texts, so the status line reads "Scaned: N, results: M".
printf '[RUSSIAN]\r\n' > "$device/Program Files/Dialdex/dialdex.lng"
ln "$database" "$device/Databases/load.$form" 2>/dev/null || ln -s "$database" "$device/Databases/load.$form"
printf '\\Databases\\load.%s;LOAD\r\n' "$form" > "$device/Program Files/Dialdex/dialdex.ini"
printf 'type SearchWnd/1101 ?\nclick SearchWnd/1107\nwait\nprint ResultWnd/1202\nclose\n' > "$work/script.txt"

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$work/runtime}
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
failed=0
for round in $(seq 1 "$rounds"); do
  echo "round $round of $rounds: searching $subscribers subscribers ($form) for every record"
  set +e
  DIALDEX_SCRIPT_TIMES=1 /usr/bin/time -v "$build/dialdex" --device "$device" --script "$work/script.txt" \
    > "$work/out.txt" 2> "$work/time.txt"
  code=$?
  set -e
  mkdir -p "$top/bench/out"
  cp "$work/out.txt" "$top/bench/out/load-$subscribers-$form.out"
  cp "$work/time.txt" "$top/bench/out/load-$subscribers-$form.time"
  echo "  exit code: $code (output kept in bench/out/load-$subscribers-$form.out)"
  status=$(grep -a -E 'Scaned|Memory full' "$work/out.txt" || echo '(none)')
  echo "  status: $status"
  grep -a '"box"' "$work/out.txt" | head -3 || true
  grep -E 'Maximum resident set size|Elapsed \(wall clock\)' "$work/time.txt" | sed 's/^\s*/  /'
  peak=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")
  # From the Start click to the end of the wait for the worker, which ends after the final status text.
  window=$(awk '$1 == "script-time" && $5 == "click" {start = $3} $1 == "script-time" && $5 == "wait" {end = $4}
                END {printf "%.3f", end - start}' "$work/time.txt")

  # The same rows printed by dialdex-find into a pipe, right after, so that both meet the same load.
  find_started=$(date +%s.%N)
  "$build/dialdex-find" "$database" --phone '?' | cat > /dev/null
  find_ended=$(date +%s.%N)
  find=$(awk -v start="$find_started" -v end="$find_ended" 'BEGIN {printf "%.3f", end - start}')

  ratio=$(awk -v window="$window" -v find="$find" 'BEGIN {printf "%.2f", window / find}')
  echo "  window search (Start to final status): $window s; dialdex-find to a pipe: $find s; ratio ${ratio}x (target <= 2.5x)"
  echo "  peak memory: $((peak / 1024)) MiB (target <= 2500 MB: $((peak * 1024 / 1000000)) MB)"
  # Every row, no more memory than 2.5 GB, no more than 2.5 times the time.
  expected="Scaned: $subscribers, results: $subscribers"
  [ "$code" -eq 0 ] && [ "$status" = "$expected" ] || { echo "  FAILED: not every row ($expected)"; failed=1; }
  [ $((peak * 1024)) -le 2500000000 ] || { echo "  FAILED: peak memory"; failed=1; }
  awk -v ratio="$ratio" 'BEGIN {exit !(ratio <= 2.5)}' || { echo "  FAILED: time"; failed=1; }
done
exit $failed
