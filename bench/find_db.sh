#!/usr/bin/env bash
# Find DB against find(1) on the same device tree: 50,000 files in 5,000 folders, 20 of them databases.
#   bench/find_db.sh [BUILD_FOLDER] [REPETITIONS]     (defaults: build, 7)
# Each repetition runs, in turn, find over the tree, dialdex with a script that presses Find DB, and
# dialdex with the same script without the press (the program's own start and end). The medians are
# printed with two ratios: the whole dialdex run against find, and Find DB alone (the run less the
# start and end) against find. The tree is made once in a temporary folder and removed at the end.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build}" && pwd)
repetitions=${2:-7}
dialdex="$build/dialdex"
mkdb="$build/dialdex-mkdb"
for program in "$dialdex" "$mkdb"; do
  [ -x "$program" ] || { echo "missing $program: build it first" >&2; exit 1; }
done

work=$(mktemp -d /tmp/dialdex-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
device="$work/device"

# --- The tree: 100 folders in the root, 49 folders in each (5,000 folders), 10 files in every folder.
echo "Making the device tree in $device"
mkdir -p "$device/Program Files/Dialdex"
cp "$top/data/dialdex.lng" "$device/Program Files/Dialdex/dialdex.lng"
folders="$work/folders.txt"
: > "$folders"
for top_index in $(seq -w 0 99); do
  echo "$device/Area $top_index" >> "$folders"
  for sub_index in $(seq -w 0 48); do echo "$device/Area $top_index/Folder $sub_index" >> "$folders"; done
done
tr '\n' '\0' < "$folders" | xargs -0 mkdir -p
folder_count=$(wc -l < "$folders")

# Twenty databases spread over the tree (odd ones compressed), and ordinary files to make 50,000.
database_count=0
while read -r folder; do
  database_count=$((database_count + 1))
  if [ $((database_count % 2)) -eq 1 ]; then name="city$database_count.zdb"; else name="city$database_count.DB"; fi
  "$mkdb" demo 200 "$folder/$name" --seed "$database_count" --title "CITY $database_count" > /dev/null 2>&1
  [ "$database_count" -lt 20 ] || break
done < <(awk 'NR % 250 == 7' "$folders")
awk -v limit=$((folder_count * 10 - database_count)) 'BEGIN { split("txt jpg dat doc bak lnk ini png wav png", extension, " ") }
  { for (index_in_folder = 0; index_in_folder < 10; index_in_folder++)
      if (made++ < limit) printf "%s/note%d.%s\n", $0, index_in_folder, extension[index_in_folder + 1] }' "$folders" |
  xargs -d '\n' touch
file_count=$(find "$device" -type f ! -path "$device/Program Files/*" | wc -l)
echo "Tree: $folder_count folders, $file_count files, $database_count databases"

# --- The runs.
press="$work/find.script"
printf 'tab 2\nclick SetupWnd/1303\nprint SetupWnd/1302\n' > "$press"
idle="$work/idle.script"
printf 'tab 2\n' > "$idle"

milliseconds() { echo $(( $(date +%s%N) / 1000000 )); }
time_find() {
  local start; start=$(milliseconds)
  find "$device" -iname '*.db' -o -iname '*.zdb' > "$work/find.out"
  echo $(( $(milliseconds) - start ))
}
time_dialdex() {
  local start; start=$(milliseconds)
  "$dialdex" --device "$device" --script "$1" > "$work/dialdex.out"
  echo $(( $(milliseconds) - start ))
}
median() { tr ' ' '\n' | sort -n | awk '{ value[NR] = $1 } END { print value[int((NR + 1) / 2)] }'; }

# One run of each warms the caches; it also checks that both see the twenty databases.
time_find > /dev/null
found_by_find=$(wc -l < "$work/find.out")
time_dialdex "$press" > /dev/null
found_by_dialdex=$(grep -c '^CITY ' "$work/dialdex.out" || true)
time_dialdex "$idle" > /dev/null
echo "Databases found: find $found_by_find, Find DB $found_by_dialdex"
if [ "$found_by_find" -ne "$database_count" ] || [ "$found_by_dialdex" -ne "$database_count" ]; then
  echo "the two do not agree with the tree" >&2
  exit 1
fi

find_times="" press_times="" idle_times=""
for repetition in $(seq "$repetitions"); do
  find_times+=" $(time_find)"
  press_times+=" $(time_dialdex "$press")"
  idle_times+=" $(time_dialdex "$idle")"
done
find_median=$(echo $find_times | median)
press_median=$(echo $press_times | median)
idle_median=$(echo $idle_times | median)
scan_median=$(( press_median - idle_median ))
[ "$scan_median" -gt 0 ] || scan_median=1
[ "$find_median" -gt 0 ] || find_median=1

echo "Repetitions: $repetitions (interleaved)"
echo "find:                          ${find_times# } ms, median $find_median ms"
echo "dialdex with Find DB:          ${press_times# } ms, median $press_median ms"
echo "dialdex start and end only:    ${idle_times# } ms, median $idle_median ms"
awk -v whole="$press_median" -v scan="$scan_median" -v find="$find_median" 'BEGIN {
  printf "Find DB alone: %d ms\n", scan
  printf "Ratio, Find DB alone / find:   %.2f\n", scan / find
  printf "Ratio, whole dialdex run / find: %.2f\n", whole / find
}'
