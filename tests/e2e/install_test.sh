#!/bin/bash
# What leaves the build for other machines: `cmake --install` under a tight umask (folders 0755, files
# 0644, programs 0755, for every user), and the source tarball (the committed tree only, the same bytes
# for the same commit, and the commit it came from named by a build of it).
# Arguments: the build folder, the source folder.
source "$(dirname "$0")/support.sh" "$@"

# --- cmake --install, as a builder whose umask lets nobody else read anything ---
(umask 077 && cmake --install "$build" --prefix "$work/prefix" >install.log 2>&1) ||
    fail "cmake --install: $(cat install.log)"
# What must be there, with the mode each must have.
while read -r mode path; do
    [ -e "prefix/$path" ] || { fail "not installed: $path"; continue; }
    got=$(stat -c %a "prefix/$path")
    [ "$got" = "$mode" ] || fail "$path has mode $got, not $mode"
done <<'EXPECTED'
755 bin
755 bin/dialdex
755 bin/dialdex-find
755 bin/dialdex-mkdb
755 share/dialdex
644 share/dialdex/dialdex.lng
755 share/icons/hicolor/48x48/apps
644 share/icons/hicolor/48x48/apps/org.kestrel.dialdex.png
644 share/icons/hicolor/scalable/apps/org.kestrel.dialdex.svg
644 share/applications/org.kestrel.dialdex.desktop
644 share/metainfo/org.kestrel.dialdex.metainfo.xml
644 share/mime/packages/dialdex.xml
644 share/man/man1/dialdex-find.1.gz
644 share/bash-completion/completions/dialdex-mkdb
644 share/doc/dialdex/LICENSE
EXPECTED
# And nothing anywhere with another mode.
others=$(find prefix \( -type d ! -perm 755 \) -o \( -type f ! -perm 644 ! -perm 755 \))
[ -z "$others" ] || fail "installed with other modes: $(echo "$others" | xargs stat -c '%a %n')"

# --- the source tarball, where the source is a git checkout ---
if git -C "$source_folder" rev-parse --verify -q HEAD >/dev/null && [ -e "$source_folder/.git" ]; then
    for run in 1 2; do
        mkdir "run$run"
        tarball=$("$source_folder/scripts/source-tarball.sh" "$work/run$run" 2>/dev/null) ||
            fail "source-tarball.sh failed"
    done
    name=$(basename "$tarball" .tar.xz)
    [[ "$name" =~ ^dialdex-[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "the tarball is named $name"
    cmp -s "run1/$name.tar.xz" "run2/$name.tar.xz" || fail "two tarballs of one commit differ"
    tar -tJf "$tarball" >listing.txt || fail "tar cannot read $tarball"
    grep -v "^$name/" listing.txt && fail "entries outside $name/"
    for wanted in LICENSE CMakeLists.txt debian/control debian/changelog debian/rules scripts/run-demo.sh; do
        grep -qx "$name/$wanted" listing.txt || fail "the tarball has no $wanted"
    done
    grep -E "^$name/(build|build-[^/]*|obj-[^/]*)/" listing.txt && fail "the tarball holds a build folder"
    [ "$(git -C "$source_folder" ls-tree -r --name-only HEAD | wc -l)" = "$(grep -vc '/$' listing.txt)" ] ||
        fail "the tarball's files are not the commit's"
    # Unpacked (no .git), the build names the commit the tarball was made from, not "unknown".
    tar -xJf "$tarball"
    cmake -DSOURCE="$work/$name" -DVERSION=0 -DOUTPUT="$work/revision.h" -P "$name/scripts/source_revision.cmake"
    commit=$(git -C "$source_folder" rev-parse HEAD)
    grep -qx "#define DIALDEX_REVISION \"${commit:0:12}\"" revision.h ||
        fail "a build of the tarball names revision '$(cat revision.h)', not ${commit:0:12}"
fi

finish install_test
