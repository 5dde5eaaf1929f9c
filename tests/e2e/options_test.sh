#!/bin/bash
# The three programs' command lines end to end: --help and --version, refused options and values with
# exit code 2, and the window program's options still doing what they did.
# Arguments: the build folder, the source folder.
source "$(dirname "$0")/support.sh" "$@"
export QT_QPA_PLATFORM=offscreen

# --- --help and --version: standard output, exit 0, whatever else is on the line ---
for program in "$dialdex" "$find" "$mkdb"; do
    name=$(basename "$program")
    for help in --help -h; do
        expect_code 0 -- "$program" "$help" --frob
        grep -q "^usage: $name " out.txt || fail "$name $help: $(head -3 out.txt)"
        grep -q "^  -V, --version " out.txt || fail "$name $help lists no --version"
        grep -q "^Exit status: " out.txt || fail "$name $help tells no exit status"
        [ -s err.txt ] && fail "$name $help wrote to standard error: $(cat err.txt)"
    done
    expect_code 0 -- "$program" --version
    grep -qE "^$name \(Dialdex\) [0-9]+\.[0-9]+\.[0-9]+$" out.txt || fail "$name --version: $(cat out.txt)"
    grep -qE "^source revision [^ ]+$" out.txt ||
        fail "$name --version names no revision: $(cat out.txt)"
    # Help and version that cannot be written say so.
    for answer in --help --version; do
        expect_error 2 "$name: standard output: No space left on device" -- \
            bash -c '"$0" "$1" >/dev/full' "$program" "$answer"
    done
    # An unknown option, a missing value: the program's name, the reason and the usage; exit 2.
    expect_error 2 "$name: unknown option '--frob'" -- "$program" --frob
    grep -q "^usage: $name " err.txt || fail "$name --frob gave no usage: $(cat err.txt)"
    [ -s out.txt ] && fail "$name --frob wrote to standard output"
    expect_error 2 "$name: option '--codepage' needs a value (N)" -- "$program" --codepage
    expect_error 2 "$name: option '--help' takes no value" -- "$program" --help=1
done

# --- the window program: bad values refused before anything starts ---
expect_error 2 "dialdex: --screen: '640x240junk' is not WIDTHxHEIGHT, such as 640x240" -- "$dialdex" --screen 640x240junk
expect_error 2 "dialdex: --card: nosuchdir: No such file or directory" -- "$dialdex" --card nosuchdir
expect_error 2 "dialdex: --codepage: '99999' is not a single-byte code page" -- "$dialdex" --codepage 99999
expect_error 2 "dialdex: --script: no-script.txt: No such file or directory" -- "$dialdex" --script no-script.txt
# Without a display, a script or a platform of the user's choosing, nothing could be seen or ended.
expect_error 2 "no display: set DISPLAY or WAYLAND_DISPLAY, or use --script" -- \
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$dialdex" --device device
[ -d device ] && fail "a run without a display made the device folder"
expect_error 2 "no display" -- env DISPLAY= WAYLAND_DISPLAY= QT_QPA_PLATFORM= "$dialdex" --device device city.zdb
expect_error 2 "dialdex: one FILE at most, not 2" -- "$dialdex" a.zdb b.zdb
for zoom in 1.3 0.25 8.25 9 -1 2x ""; do
    expect_error 2 "dialdex: --zoom: '$zoom' is not a zoom from 0.5 to 8 in steps of 0.25" -- "$dialdex" --zoom "$zoom"
done

# --- the window program's options work as before, in both spellings ---
mkdir card
printf 'print SetupWnd/1302\ndump\n' >script.txt
expect_code 0 -- "$dialdex" --device=device --card=card --screen=640x240 --codepage=1251 --script=script.txt
grep -q '"class":"Dialdex",[^}]*"h":240,.*"text":"Dialdex v.2","visible":true,"w":640,' out.txt || fail "--screen=640x240: $(head -c 300 out.txt)"
[ -d "device/Program Files/Dialdex" ] || fail "--device did not make the device"
expect_code 0 -- "$dialdex" --device device --screen 240x320 --script - <script.txt
grep -q '"class":"Dialdex",.*"text":"Dialdex v.2","visible":true,"w":240,' out.txt || fail "--screen 240x320: $(head -c 300 out.txt)"

# A line the script could not carry out is told at once, the rest still runs, and the exit code is 2.
printf 'frobnicate\nclick SearchWnd/4242\ntab x\ndump\n' >bad-script.txt
expect_code 2 -- "$dialdex" --device device --script bad-script.txt
[ "$(grep -c '^script line [123]: ' err.txt)" = 3 ] || fail "bad script lines: $(cat err.txt)"
[ -s out.txt ] || fail "a script with bad lines stopped at them"

# --- the manual pages render without a warning; they and the completions know every option ---
for program in "$dialdex" "$find" "$mkdb"; do
    name=$(basename "$program")
    page="$source_folder/docs/man/$name.1"
    completion="$source_folder/data/bash-completion/$name"
    version=$("$program" --version | head -1 | cut -d' ' -f3)
    grep -q "^\.TH .* \"Dialdex $version\" " "$page" || fail "$name.1 does not name version $version"
    # The examples search in Cyrillic: the pages are read, and checked, on a UTF-8 terminal.
    warnings=$(groff -man -ww -z -Tutf8 "$page" 2>&1) || fail "groff failed on $name.1"
    [ -z "$warnings" ] || fail "groff warns about $name.1: $warnings"
    LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" >page.txt 2>warnings.txt || fail "man -l $name.1"
    [ -s warnings.txt ] && fail "man -l $name.1 warns: $(cat warnings.txt)"
    grep -q "^NAME" page.txt || fail "man -l $name.1 rendered no NAME section"
    for option in $("$program" --help | grep -oE -- '--[a-z][a-z-]*' | sort -u); do
        grep -qF -- "${option//-/\\-}" "$page" || fail "$name.1 does not describe $option"
        grep -qwF -- "$option" "$completion" || fail "the completion of $name does not offer $option"
    done
done

# --- completion: options, their values, and files of the kinds each program takes ---
mkdir -p files/sub
touch files/city.zdb files/TOWN.DB files/list.csv files/list.csv.gz files/notes.txt
# complete_words PROGRAM WORD...: runs PROGRAM's completion for the words, the last one being completed;
# prints the offers, sorted, each followed by a space.
complete_words() {
    bash -c 'source "$1"; shift; function="_${1//-/_}"; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
             "$function"; printf "%s\n" "${COMPREPLY[@]}" | sort | tr "\n" " "' \
        complete "$source_folder/data/bash-completion/$1" "$@"
}
# The offers expected | the words, as the shell would quote them (the last one is being completed).
# Folders come without their slash: with -o filenames readline adds one (one of our own showed "sub//").
# Bash splits "--format=j" into "--format", "=" and "j"; after "--" no option is offered.
while IFS='|' read -r expected words; do
    eval "set -- $words"
    got=$(complete_words "$@")
    [ "$got" = "$expected" ] || fail "completion of '$words': '$got', expected '$expected'"
done <<'TABLE'
--format |dialdex-find --for
csv json plain tsv |dialdex-find --format ''
json |dialdex-find --format=j
files/TOWN.DB files/city.zdb files/sub |dialdex-find -n ivanov files/
json |dialdex-find --format = j
1250 1251 1252 |dialdex-find --codepage = 125
csv json plain tsv |dialdex-mkdb dump --format = ''
866 |dialdex --codepage = 86
 |dialdex-find -n A -- --f
 |dialdex-mkdb dump -- --f
 |dialdex -- --sc
--help --version build demo dump info |dialdex-mkdb ''
files/list.csv files/list.csv.gz files/notes.txt files/sub |dialdex-mkdb build files/
files/TOWN.DB files/city.zdb files/sub |dialdex-mkdb build -e cp1251 files/list.csv files/
--format |dialdex-mkdb dump --f
--skip-bad |dialdex-mkdb build --s
koi8-r |dialdex-mkdb build --input-encoding k
--screen --script |dialdex --sc
640x240 640x480 |dialdex --screen 64
files |dialdex --card fi
files/city.zdb |dialdex files/c
TABLE

# --- on a desktop (a platform, no script): the process keeps its name and sets no scale for Qt ---
desktop_locale=C.UTF-8
locale -a 2>/dev/null | grep -qi '^ru_RU.utf-\?8$' && desktop_locale=ru_RU.UTF-8 # a decimal comma
HOME=$PWD/home XDG_CONFIG_HOME=$PWD/home/config LC_ALL=$desktop_locale "$dialdex" --device desktop-device \
    >desktop-out.txt 2>&1 &
desktop_pid=$!
for _ in $(seq 50); do [ -d desktop-device ] && break; sleep 0.1; done
sleep 1
[ "$(cat /proc/$desktop_pid/comm 2>/dev/null)" = dialdex ] ||
    fail "the desktop run is named '$(cat /proc/$desktop_pid/comm 2>/dev/null)', not dialdex: $(cat desktop-out.txt)"
tr '\0' '\n' </proc/$desktop_pid/environ | grep -q '^QT_SCALE_FACTOR=' && fail "the desktop run set QT_SCALE_FACTOR"
kill "$desktop_pid"
wait "$desktop_pid" 2>/dev/null

finish "options end to end"
