#!/usr/bin/env bash
# Builds the Debian package into build-package/ (dialdex_VERSION_ARCH.deb): a Release build without the
# tests, with Debian's hardening flags and shared libraries only, packed by CPack. Then checks it: the
# desktop entry and the AppStream metadata with their validators, the package with lintian (an error
# fails; warnings are printed). Installs what it needs first, only when missing.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-dependencies.sh" package
folder="$top/build-package"
# Every hardening flag Debian knows, bindnow included.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all

"$top/scripts/build.sh" "$folder" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DDIALDEX_STATIC_FIND=OFF \
  "-DCMAKE_CXX_FLAGS=$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  "-DCMAKE_EXE_LINKER_FLAGS=$(dpkg-buildflags --get LDFLAGS)" -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON
rm -f "$folder"/dialdex_*.deb
(cd "$folder" && cpack -G DEB > cpack.log 2>&1) || { cat "$folder/cpack.log"; exit 1; }
package=$(echo "$folder"/dialdex_*.deb)

# What the package installs, unpacked, for the validators.
rm -rf "$folder/unpacked"
dpkg-deb -x "$package" "$folder/unpacked"
desktop-file-validate "$folder"/unpacked/usr/share/applications/*.desktop
appstreamcli validate --no-net "$folder"/unpacked/usr/share/metainfo/*.metainfo.xml
lintian --fail-on error "$package"

echo "Package: $package"
dpkg-deb --info "$package" | sed -n 's/^ \(Version\|Installed-Size\|Depends\):/\1:/p'
