#!/usr/bin/env bash
# Builds Dialdex and runs it on a demo device (build/demo-device) holding demo directories.
# With a display it opens the window; without one it runs a demo script on the offscreen platform,
# prints what it did and writes screenshots of the pages to build/screenshots/.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-dependencies.sh"
build="$top/build"
mkdir -p "$build"
# Only what the demo runs: the three programs and the language file. scripts/test.sh builds the rest
# (tests, benchmarks, icons) in the same folder.
{ cmake -S "$top" -B "$build" -G Ninja && ninja -C "$build" dialdex dialdex-mkdb dialdex-find; } \
  > "$build/build.log" 2>&1 || { cat "$build/build.log"; exit 1; }
device="$build/demo-device"

if [ ! -d "$device" ]; then
  echo "Making the demo device in $device"
  mkdir -p "$device.new/Program Files/Dialdex" "$device.new/Databases" "$device.new/My Documents"
  cp "$build/dialdex.lng" "$device.new/Program Files/Dialdex/dialdex.lng"
  "$build/dialdex-mkdb" demo 100000 "$device.new/Databases/moscow.zdb" --seed 1 --title "MOSCOW DEMO"
  "$build/dialdex-mkdb" demo 5000 "$device.new/My Documents/suburbs.db" --seed 2 --title "SUBURBS DEMO"
  printf '\\Databases\\moscow.zdb;MOSCOW DEMO\r\n' > "$device.new/Program Files/Dialdex/dialdex.ini"
  mv "$device.new" "$device"
fi

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$build/dialdex" --device "$device"
fi

shots="$build/screenshots"
mkdir -p "$shots"
echo "No display: running the demo script on the offscreen platform, in Russian and English, at zoom 1 and 2."
# One run per language and zoom; the language comes from the locale (the demo device stores none).
for language in ru en; do
  for zoom in 1 2; do
    set="$shots/$language-zoom$zoom"
    mkdir -p "$set"
    cat > "$build/demo.script" <<SCRIPT
shot $set/search.png
type SearchWnd/1102 иванов с
type SearchWnd/1103 лен
shot $set/search-filled.png
key SearchWnd/1103 Return
wait
print ResultWnd/1205
print ResultWnd/1201
print ResultWnd/1202
shot $set/result.png
key ResultWnd/1201 Down
key ResultWnd/1201 Ctrl+C
clipboard
tab 2
click SetupWnd/1303
print SetupWnd/1302
shot $set/setup.png
tab 3
shot $set/about.png
SCRIPT
    echo "--- $language, zoom $zoom"
    LC_ALL=$([ "$language" = ru ] && echo ru_RU.UTF-8 || echo en_GB.UTF-8) DIALDEX_SCRIPT_ECHO=1 \
      "$build/dialdex" --device "$device" --zoom "$zoom" --script "$build/demo.script"
  done
done
echo "Screenshots: $shots/{ru,en}-zoom{1,2}/"
