#!/usr/bin/env bash
# The benchmark suite: builds what it needs (Release, into build-bench/), makes its inputs once in
# bench/data/, runs every figure side by side in one run and prints the table of medians, spreads,
# ratios and targets, and whether each target holds (also kept in bench/out/latest.md).
#   bench/run.sh [ROUNDS] [--cores-only]   (default 7; --cores-only: only the rows of reading on every
#                                           core, the second search from memory and the selective
#                                           window search, no Find DB: about 35 s)
# Inputs: a 1,000,000-subscriber demo directory as .zdb and .db, the same records as CSV and CSV.gz and
# as a loaded SQLite table, a 5,000,000-subscriber .db for the sort, eight small demo databases so that ten are installed, and the device folder
# that holds them. Delete bench/data/ to make them again.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-7}
only=${2:-}
build="$top/build-bench"
data="$top/bench/data"
out="$top/bench/out"
subscribers=1000000

# The queries: a name prefix matching about 600 of the subscribers, one matching about 100,000, and one
# matching none. The demo directory is the same for the same seed, so are the counts.
selective="КУЗНЕЦОВ П"
broad="М"
nothing="Ъ"

DIALDEX_EXTRA_PACKAGES="sqlite3 ripgrep python3 gzip isal" "$top/scripts/install-dependencies.sh"

echo "Building into $build"
mkdir -p "$out"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DDIALDEX_BENCH=ON > "$out/configure.log" 2>&1 ||
  { cat "$out/configure.log"; exit 1; }
ninja -C "$build" -j2 dialdex dialdex-find dialdex-mkdb bench-zlib-inflate bench-isal-inflate bench-plain-read bench-walk-records \
  bench-sort-rows bench-peak-memory > "$out/build.log" 2>&1 || { tail -50 "$out/build.log"; exit 1; }

mkdb="$build/dialdex-mkdb"
device="$data/device"
databases="$device/Databases"

# Each input is written beside its final name and renamed, so an interrupted run leaves nothing half made.
# A .zdb made before dialdex-mkdb wrote members (its first header has no extra field) is made again.
if [ -f "$databases/directory.zdb" ] && [ "$(head -c 4 "$databases/directory.zdb" | od -An -tx1 | tr -d ' ')" != "1f8b0804" ]; then
  rm -f "$databases/directory.zdb" "$data/directory-one-member.zdb"
fi
if [ ! -f "$databases/directory.zdb" ] || [ ! -f "$databases/directory.db" ]; then
  echo "Making the $subscribers-subscriber demo directory"
  mkdir -p "$databases" "$device/Program Files/Dialdex"
  "$mkdb" demo "$subscribers" "$databases/directory.new.zdb" --seed 1 --title "BENCH DEMO"
  "$mkdb" demo "$subscribers" "$databases/directory.new.db" --seed 1 --title "BENCH DEMO"
  mv "$databases/directory.new.zdb" "$databases/directory.zdb"
  mv "$databases/directory.new.db" "$databases/directory.db"
fi
if [ ! -f "$data/directory.csv" ]; then
  echo "Writing the same records as CSV"
  "$mkdb" dump "$databases/directory.zdb" > "$data/directory.new.csv"
  "$mkdb" dump "$databases/directory.db" | cmp -s - "$data/directory.new.csv" ||
    { echo "the .zdb and the .db do not hold the same records" >&2; exit 1; }
  mv "$data/directory.new.csv" "$data/directory.csv"
fi
# The same directory as one gzip member: as dialdex-mkdb wrote it before (--members off), and as gzip makes it.
if [ ! -f "$data/directory-one-member.zdb" ]; then
  "$mkdb" demo "$subscribers" "$data/directory-one-member.new.zdb" --seed 1 --title "BENCH DEMO" --members off
  mv "$data/directory-one-member.new.zdb" "$data/directory-one-member.zdb"
fi
# The sort's big list: 5,000,000 subscribers, plain, opened for the run.
if [ ! -f "$data/sort-5m.db" ]; then
  "$mkdb" demo 5000000 "$data/sort-5m.new.db" --seed 1 --title "SORT DEMO" > /dev/null
  mv "$data/sort-5m.new.db" "$data/sort-5m.db"
fi
if [ ! -f "$data/directory-gzip.zdb" ]; then
  gzip -6 -c "$databases/directory.db" > "$data/directory-gzip.new.zdb"
  mv "$data/directory-gzip.new.zdb" "$data/directory-gzip.zdb"
fi
if [ ! -f "$data/directory.csv.gz" ]; then
  gzip -6 -c "$data/directory.csv" > "$data/directory.new.csv.gz"
  mv "$data/directory.new.csv.gz" "$data/directory.csv.gz"
fi
if [ ! -f "$data/directory.sqlite" ]; then
  echo "Loading the records into SQLite"
  rm -f "$data/directory.new.sqlite"
  start=$(date +%s.%N)
  sqlite3 "$data/directory.new.sqlite" <<SQL
CREATE TABLE subscribers(phone INTEGER, name TEXT, street TEXT, house TEXT, flat TEXT);
.mode csv
.import --skip 1 '$data/directory.csv' subscribers
SQL
  end=$(date +%s.%N)
  awk -v start="$start" -v end="$end" 'BEGIN { printf "SQLite load took %.1f s\n", end - start }' |
    tee "$data/sqlite-load.txt"
  mv "$data/directory.new.sqlite" "$data/directory.sqlite"
fi

# Ten installed databases: the big two first (the searches use the first), then eight small ones.
ini="$device/Program Files/Dialdex/dialdex.ini"
if [ ! -f "$ini" ]; then
  mkdir -p "$device/Program Files/Dialdex"
  cp "$top/data/dialdex.lng" "$device/Program Files/Dialdex/dialdex.lng"
  {
    printf '\\Databases\\directory.zdb;BENCH DEMO\r\n'
    printf '\\Databases\\directory.db;BENCH DEMO PLAIN\r\n'
    for seed in 2 3 4 5 6 7 8 9; do
      "$mkdb" demo 1000 "$databases/town$seed.zdb" --seed "$seed" --title "TOWN $seed" > /dev/null 2>&1
      printf '\\Databases\\town%s.zdb;TOWN %s\r\n' "$seed" "$seed"
    done
  } > "$ini.new"
  mv "$ini.new" "$ini"
fi

# Find DB has its own tree and interleaved repetitions; its figures join the table.
find_db_output=""
if [ -f "$top/bench/find_db.sh" ] && [ -z "$only" ]; then
  echo "Find DB against find (bench/find_db.sh)"
  find_db_output="$out/find_db.txt"
  bash "$top/bench/find_db.sh" "$build" "$rounds" > "$find_db_output" 2>&1 ||
    { cat "$find_db_output"; exit 1; }
fi

python3 "$top/bench/harness.py" --build "$build" --data "$data" --rounds "$rounds" \
  --selective "$selective" --broad "$broad" --nothing "$nothing" \
  --find-db-output "$find_db_output" --markdown "$out/latest.md" $only
