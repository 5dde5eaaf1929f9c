#!/usr/bin/env bash
# Configures and builds Dialdex into build/ (or the folder given as $1 with further CMake options).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
folder=${1:-$top/build}
shift || true
mkdir -p "$folder"
cmake -S "$top" -B "$folder" -G Ninja "$@" > "$folder/configure.log" 2>&1 || { cat "$folder/configure.log"; exit 1; }
ninja -C "$folder"
