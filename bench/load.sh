#!/usr/bin/env bash
# Load: a query that matches every record of a 10,000,000-subscriber directory (the most a 7-digit phone
# field can tell apart), searched through the window system as a user would, with the phone pattern "?".
# The search must end through its normal end with the counts shown, whatever the list can hold. Reports
# the status line, the peak memory and the times (/usr/bin/time -v).
#   bench/load.sh [SUBSCRIBERS [zdb|db]]      (default 10000000 zdb)
# DIALDEX_BUILD names the build folder with dialdex and dialdex-mkdb (default build/, built if missing).
# The directory is made once into bench/data/ and kept.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
subscribers=${1:-10000000}
form=${2:-zdb}
build=${DIALDEX_BUILD:-$top/build}
[ -x "$build/dialdex" ] && [ -x "$build/dialdex-mkdb" ] || "$top/scripts/build.sh" "$build"
[ -x /usr/bin/time ] || { echo "bench/load.sh needs /usr/bin/time (Debian package: time)" >&2; exit 1; }

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
echo "searching $subscribers subscribers ($form) for every record"
set +e
/usr/bin/time -v "$build/dialdex" --device "$device" --script "$work/script.txt" > "$work/out.txt" 2> "$work/time.txt"
code=$?
set -e
mkdir -p "$top/bench/out"
cp "$work/out.txt" "$top/bench/out/load-$subscribers-$form.out"
cp "$work/time.txt" "$top/bench/out/load-$subscribers-$form.time"
echo "exit code: $code (output kept in bench/out/load-$subscribers-$form.out)"
echo "status: $(grep -a 'Scaned' "$work/out.txt" || echo '(none)')"
tail -c 300 "$work/out.txt"
grep -a '"box"' "$work/out.txt" | head -3 || true
grep -E 'Maximum resident set size|Elapsed \(wall clock\)|User time|System time' "$work/time.txt" | sed 's/^\s*/  /'
peak=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")
echo "peak memory: $((peak / 1024)) MiB"
grep -av -E '^\s|Command being timed|Exit status' "$work/time.txt" | grep -av '^$' | head -5 || true
