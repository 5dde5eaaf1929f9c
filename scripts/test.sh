#!/usr/bin/env bash
# Builds Dialdex and runs every test. Installs what it needs first, only when missing.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-dependencies.sh"
"$top/scripts/build.sh" "$top/build"
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
chmod 700 "$XDG_RUNTIME_DIR"
cd "$top/build"
ctest --output-on-failure -j2 --timeout 600
