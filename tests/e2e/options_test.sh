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
    grep -qE "^source revision [0-9a-f]{7,}(-dirty)?$|^source revision unknown$" out.txt ||
        fail "$name --version names no revision: $(cat out.txt)"
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
expect_error 2 "dialdex: opening a database from the command line is not supported yet" -- "$dialdex" city.zdb
expect_error 2 "dialdex: one FILE at most, not 2" -- "$dialdex" a.zdb b.zdb

# --- the window program's options work as before, in both spellings ---
mkdir card
printf 'print SetupWnd/1302\ndump\n' >script.txt
expect_code 0 -- "$dialdex" --device=device --card=card --screen=640x240 --codepage=1251 --script=script.txt
grep -q '"class":"Dialdex",[^}]*"h":240,[^}]*"w":640' out.txt || fail "--screen=640x240: $(head -c 300 out.txt)"
[ -d "device/Program Files/Dialdex" ] || fail "--device did not make the device"
expect_code 0 -- "$dialdex" --device device --screen 240x320 --script - <script.txt
grep -q '"class":"Dialdex",[^}]*"w":240' out.txt || fail "--screen 240x320: $(head -c 300 out.txt)"

finish "options end to end"
