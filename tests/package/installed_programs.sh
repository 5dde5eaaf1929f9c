#!/usr/bin/env bash
# The installed packages as a user has them: runs the installed programs, their manual pages and bash
# completions from the installed paths only, the window program on a new device, and checks the desktop's
# files. Needs dialdex and dialdex-tools installed; changes nothing outside a folder of its own.
# tests/package/installed_test.sh runs it between installing and purging the built packages, and it is
# the packages' autopkgtest (debian/tests/control).
set -u
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
for package in dialdex dialdex-tools; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        { echo "installed_programs: $package is not installed" >&2; exit 2; }
done
version=$(dpkg-query -W -f='${Version}' dialdex)
[ "$(dpkg-query -W -f='${Version}' dialdex-tools)" = "$version" ] || fail "dialdex and dialdex-tools differ in version"

# Folders 0755, files 0644 or 0755, whatever the umask of the build; the licence in each copyright file.
for package in dialdex dialdex-tools; do
    while read -r path; do
        [ -L "$path" ] && continue
        mode=$(stat -c %a "$path")
        if [ -d "$path" ]; then expected=755; elif [ -x "$path" ]; then expected=755; else expected=644; fi
        [ "$mode" = "$expected" ] || fail "$package: $path has mode $mode, not $expected"
    done < <(dpkg -L "$package")
    grep -q "^License: Expat" "/usr/share/doc/$package/copyright" || fail "$package: its copyright file names no licence"
done

# From here on the installed programs only, and a home of the test's own.
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
hash -r
unset DISPLAY WAYLAND_DISPLAY XDG_DATA_HOME XDG_CONFIG_HOME QT_QPA_PLATFORM
export HOME="$work/home" LC_ALL=C.UTF-8
mkdir -p "$HOME"
cd "$work" || exit 1
for program in dialdex dialdex-find dialdex-mkdb; do
    [ "$(command -v "$program")" = "/usr/bin/$program" ] || fail "$program is not /usr/bin/$program"
    # Each has its manual page, which man reads without a warning, and its bash completion.
    page=/usr/share/man/man1/$program.1.gz
    if [ ! -f "$page" ]; then
        fail "no manual page $page"
    else
        warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >"$work/$program.man") || fail "man -l $page"
        [ -z "$warnings" ] || fail "man -l $page warns: $warnings"
        grep -q "$program" "$work/$program.man" || fail "man -l $page shows no $program"
    fi
    completion=/usr/share/bash-completion/completions/$program
    bash -c "source '$completion' && complete -p '$program'" >/dev/null 2>&1 ||
        fail "$completion does not set a completion for $program"
done
dialdex-find --version >version.txt 2>&1 || fail "dialdex-find --version: $(cat version.txt)"
grep -qF "$version" version.txt || fail "dialdex-find --version says '$(cat version.txt)', not $version"

# The command-line tools come without the window system: neither the package nor the programs need Qt.
dpkg-query -W -f='${Depends}' dialdex-tools | grep -qi qt && fail "dialdex-tools depends on Qt: $(dpkg-query -W -f='${Depends}' dialdex-tools)"
for program in dialdex-find dialdex-mkdb; do
    ldd "/usr/bin/$program" | grep -qi -e libQt -e libX -e libxcb && fail "$program loads the window system: $(ldd "/usr/bin/$program")"
done

# --- A lookup in a demo directory made by the installed dialdex-mkdb ---
dialdex-mkdb demo 2000 demo.zdb --seed 7 --title "INSTALLED DEMO" 2>/dev/null || fail "dialdex-mkdb demo .zdb"
dialdex-mkdb demo 2000 demo.db --seed 7 2>/dev/null || fail "dialdex-mkdb demo .db"
dialdex-mkdb dump demo.zdb >demo.csv || fail "dialdex-mkdb dump"
phone=$(sed -n 2p demo.csv | cut -d, -f1)
surname=$(sed -n 2p demo.csv | cut -d, -f2 | cut -d' ' -f1)
dialdex-find demo.zdb --phone "$phone" >found.txt 2>/dev/null || fail "dialdex-find --phone $phone"
grep -q "^0*$phone;$surname" found.txt || fail "dialdex-find did not list $phone: $(cat found.txt)"
dialdex-find demo.zdb --name "$surname" >by-name.txt 2>/dev/null || fail "dialdex-find --name $surname"
count=$(wc -l <by-name.txt)
[ "$count" -ge 1 ] || fail "dialdex-find --name $surname found nothing"

# --- The window program on a new device: it gets the installed language file and searches ---
dialdex --device device --script - <<<"dump" >first.json 2>first.err || fail "dialdex on a new device: $(cat first.err)"
cmp -s "device/Program Files/Dialdex/dialdex.lng" /usr/share/dialdex/dialdex.lng ||
    fail "the new device did not get /usr/share/dialdex/dialdex.lng"
mkdir -p device/Databases && cp demo.zdb device/Databases/
printf '\\Databases\\demo.zdb;INSTALLED DEMO\r\n' >"device/Program Files/Dialdex/dialdex.ini"
printf '%s\n' "type SearchWnd/1102 $surname" "click SearchWnd/1107" "wait" "print ResultWnd/1202" >search.script
dialdex --device device --script search.script >search.txt 2>search.err || fail "dialdex search: $(cat search.err)"
status=$(head -1 search.txt)
# The language file's text, not the built-in one, with the counts dialdex-find gave.
[[ "$status" == *": 2000, "*": $count" && "$status" != Scaned* ]] ||
    fail "the window search said '$status', expected 2000 scanned and $count found in the shipped language"

# --- The desktop's files: entry, icons, metadata, MIME types ---
entry=/usr/share/applications/org.kestrel.dialdex.desktop
grep -qx "Exec=dialdex %f" "$entry" || fail "$entry does not open dialdex %f"
desktop-file-validate "$entry" || fail "desktop-file-validate $entry"
appstreamcli validate --no-net /usr/share/metainfo/org.kestrel.dialdex.metainfo.xml >/dev/null ||
    fail "appstreamcli validate"
for size in 16 32 48 64 128 256; do
    icon=/usr/share/icons/hicolor/${size}x$size/apps/org.kestrel.dialdex.png
    file "$icon" | grep -q "PNG image data, $size x $size" || fail "$icon is not a $size-pixel PNG"
done
[ -s /usr/share/icons/hicolor/scalable/apps/org.kestrel.dialdex.svg ] || fail "no scalable icon"
{ printf 'SQLite format 3\0'; head -c 4080 /dev/zero; } >sqlite.db
printf 'plain text\n' >notes.db
for expected in demo.zdb=application/x-dialdex-zdb demo.db=application/x-dialdex-db \
    sqlite.db=application/vnd.sqlite3 notes.db=text/plain; do
    name=${expected%%=*}
    type=$(gio info -a standard::content-type "$name" 2>/dev/null | sed -n 's/.*content-type: //p')
    [ "$type" = "${expected#*=}" ] || fail "$name is taken as '$type', expected ${expected#*=}"
done
grep -q "^application/x-dialdex-zdb=.*org.kestrel.dialdex.desktop" /usr/share/applications/mimeinfo.cache ||
    fail "the desktop does not offer Dialdex for .zdb files"

if [ "$failures" -ne 0 ]; then
    echo "installed_programs: $failures failure(s)" >&2
    exit 1
fi
echo "installed_programs: dialdex $version and dialdex-tools ran from their installed paths"
