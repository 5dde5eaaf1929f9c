#!/usr/bin/env bash
# Builds the Debian packages into build-package/ with dpkg-buildpackage, from the source tarball of the
# committed tree (scripts/source-tarball.sh): dialdex and dialdex-tools, their -dbgsym packages and the
# native source package. Then checks them: every folder 0755 and file 0644/0755, owned by root; the
# desktop entry and the AppStream metadata with their validators; everything with lintian --pedantic,
# which fails on any error or warning. DEB_BUILD_OPTIONS=nocheck skips the tests inside the build (CI
# ran them just before). Installs what it needs first, only when missing.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-dependencies.sh" package
folder="$top/build-package"
rm -rf "$folder"
mkdir -p "$folder"
tarball=$("$top/scripts/source-tarball.sh" "$folder")
tar -xf "$tarball" -C "$folder"
source=${tarball%.tar.xz}
# The build and test dependencies the source package names, checked as a clean chroot would meet them.
(cd "$source" && dpkg-checkbuilddeps)

started=$(date +%s)
(cd "$source" && nice dpkg-buildpackage -us -uc --jobs-try=auto > "$folder/build.log" 2>&1) ||
  { tail -n 60 "$folder/build.log"; echo "package: dpkg-buildpackage failed; the whole log: $folder/build.log" >&2; exit 1; }
echo "Built in $(( $(date +%s) - started )) s (DEB_BUILD_OPTIONS=${DEB_BUILD_OPTIONS:-})"

failed=0
for package in "$folder"/*.deb; do
  # Modes and owners as dpkg will install them, whatever the umask of this build.
  bad=$(dpkg-deb -c "$package" | awk '$1 !~ /^(drwxr-xr-x|-rw-r--r--|-rwxr-xr-x|lrwxrwxrwx)$/ || $2 != "root/root"')
  if [ -n "$bad" ]; then
    echo "package: $(basename "$package") holds entries with other modes or owners:" >&2
    echo "$bad" >&2
    failed=1
  fi
done

# What the window's package installs, unpacked, for the validators.
window=$(echo "$folder"/dialdex_*.deb)
dpkg-deb -x "$window" "$folder/unpacked"
desktop-file-validate "$folder"/unpacked/usr/share/applications/*.desktop || failed=1
appstreamcli validate --no-net --pedantic "$folder"/unpacked/usr/share/metainfo/*.metainfo.xml || failed=1
lintian --pedantic --fail-on error,warning "$folder"/*.changes || failed=1
[ "$failed" = 0 ] || { echo "package: the checks above failed" >&2; exit 1; }

for package in "$folder"/*.deb; do
  echo "Package: $package"
  dpkg-deb --info "$package" | sed -n 's/^ \(Version\|Installed-Size\|Depends\|Recommends\):/  \1:/p'
done
