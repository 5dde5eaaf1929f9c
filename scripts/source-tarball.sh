#!/usr/bin/env bash
# Makes the source tarball dialdex-VERSION.tar.xz from the committed tree (git archive of HEAD), in the
# folder given (default: build/). Nothing from build folders or uncommitted changes goes in; the same
# commit gives the same bytes. Prints the tarball's path.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$top/build}
version=$(sed -n 's/^project(dialdex VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
if [ -z "$version" ]; then
  echo "source-tarball: CMakeLists.txt names no project version" >&2
  exit 1
fi
if ! git -C "$top" rev-parse --verify -q HEAD > /dev/null; then
  echo "source-tarball: $top is not a git checkout with a commit; the tarball is made from one" >&2
  exit 1
fi
if [ -n "$(git -C "$top" status --porcelain --untracked-files=no)" ]; then
  echo "source-tarball: uncommitted changes in $top are not in the tarball (it holds HEAD)" >&2
fi
mkdir -p "$out"
tarball="$(cd "$out" && pwd)/dialdex-$version.tar.xz"
# One xz thread: the bytes then depend on the input only.
git -C "$top" archive --format=tar --prefix="dialdex-$version/" HEAD | xz -9 -T1 > "$tarball.new"
mv "$tarball.new" "$tarball"
echo "$tarball"
