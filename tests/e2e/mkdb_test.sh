#!/bin/bash
# dialdex-mkdb end to end: round trips, where OUT leads, errors and their exit codes.
# Arguments: the build folder, the source folder.
set -u
build=$(cd "$1" && pwd)
mkdb="$build/dialdex-mkdb"
find="$build/dialdex-find"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# expect_error CODE TEXT -- command...: the command fails with that exit code and names TEXT on stderr.
expect_error() {
    local code=$1 text=$2
    shift 3
    "$@" >out.txt 2>err.txt
    local got=$?
    [ "$got" -eq "$code" ] || fail "$* exited $got, expected $code"
    grep -qF -- "$text" err.txt || fail "$* said '$(cat err.txt)', expected '$text'"
}

# --- CSV -> database -> CSV, byte for byte, in both storage forms ---
printf '%s\n' \
    'phone,name,street,house,flat' \
    '1234567,ИВАНОВ ИВАН ПЕТРОВИЧ,ЛЕНИНА УЛ,12А,5' \
    '0,"КОМПАНИЯ ""РОГА, КОПЫТА""",МИРА ПР,1,' \
    '16777215,,,,' \
    '42,"ДВЕ' \
    'СТРОКИ",Street in Latin,7/2,100' \
    '12,IVAN,LENINA,1,1' >canonical.csv
for output in round.db round.zdb ROUND.ZDB; do
    "$mkdb" build canonical.csv "$output" --title "ГОРОД" 2>/dev/null || fail "build $output"
    "$mkdb" dump "$output" >dumped.csv || fail "dump $output"
    cmp -s canonical.csv dumped.csv || fail "round trip through $output differs"
done
[ "$(head -c 2 round.zdb | od -An -tx1 | tr -d ' ')" = "1f8b" ] || fail ".zdb is not gzip"
[ "$(head -c 2 round.db | od -An -tx1 | tr -d ' ')" = "0500" ] || fail ".db record count"
# The title lies at offset 6 in code page 1251 (ГОРОД = C3 CE D0 CE C4).
[ "$(dd if=round.db bs=1 skip=4 count=8 2>/dev/null | od -An -tx1 | tr -d ' ')" = "0b07c3ced0cec400" ] ||
    fail "header mark, digits or title"

# Other spellings of the same CSV: CRLF, a byte order mark, no header line, blank lines, padded phones.
printf '\xef\xbb\xbf1234567,ИВАНОВ ИВАН ПЕТРОВИЧ,ЛЕНИНА УЛ,12А,5\r\n\r\n0000,"КОМПАНИЯ ""РОГА, КОПЫТА""",МИРА ПР,1,\r\n16777215,,,,\r\n42,"ДВЕ\nСТРОКИ",Street in Latin,7/2,100\r\n12,IVAN,LENINA,1,1' >other.csv
"$mkdb" build other.csv other.db 2>/dev/null || fail "build other.csv"
"$mkdb" dump other.db | cmp -s canonical.csv - || fail "other spellings give other records"

# --- demo -> dump -> build gives the same records; the same seed gives the same file ---
"$mkdb" demo 1000 demo.zdb --seed 5 2>/dev/null || fail "demo"
"$mkdb" demo 1000 demo.db --seed 5 2>/dev/null || fail "demo .db"
"$mkdb" demo 1000 again.db --seed 5 2>/dev/null || fail "demo again"
cmp -s demo.db again.db || fail "demo is not deterministic"
"$mkdb" demo 1000 other-seed.db --seed 6 2>/dev/null
cmp -s demo.db other-seed.db && fail "another seed gives the same directory"
"$mkdb" dump demo.zdb >demo.csv || fail "dump demo"
[ "$(wc -l <demo.csv)" -eq 1001 ] || fail "demo has $(wc -l <demo.csv) lines"
"$mkdb" build demo.csv rebuilt.zdb --title DEMO 2>/dev/null || fail "build demo.csv"
"$mkdb" dump rebuilt.zdb | cmp -s demo.csv - || fail "demo records differ after a rebuild"
[ "$(tail -n +2 demo.csv | cut -d, -f1 | sort -u | wc -l)" -eq 1000 ] || fail "demo phones not unique"
[ "$(tail -n +2 demo.csv | cut -d, -f1 | grep -cvE '^[2-9][0-9]{6}$')" -eq 0 ] || fail "demo phones not 7 digits"
grep -qE '^[0-9]+,[^ ,]+ [^ ,]+ [^ ,]+(ВИЧ|ВНА|ИЧ|ИЧНА),' demo.csv || fail "demo names"
"$mkdb" dump demo.db | cmp -s demo.csv - || fail "demo .db and .zdb differ"

# --- errors: line and field named, exit code 1, nothing left behind ---
printf 'phone,name,street,house,flat\n1,A,B,C,D\n12a,A,B,C,D\n' >bad-phone.csv
expect_error 1 "bad-phone.csv, line 3, phone" -- "$mkdb" build bad-phone.csv out.zdb
printf '16777216,A,B,C,D\n' >big-phone.csv
expect_error 1 "line 1, phone: \"16777216\" is not a number from 0 to 16777215" -- "$mkdb" build big-phone.csv out.db
printf '1,A,B,C,D\n-1,A,B,C,D\n' >negative.csv
expect_error 1 "line 2, phone" -- "$mkdb" build negative.csv out.db
printf '1,A,B,C,D\n2,Ωmega,B,C,D\n' >greek.csv
expect_error 1 "line 2, name: \"Ωmega\" holds U+03A9, which code page 1251 cannot write" -- "$mkdb" build greek.csv out.db
printf '1,A,B,C,\xff\n' >latin1.csv
expect_error 1 "line 1, flat" -- "$mkdb" build latin1.csv out.db
long=$(printf 'X%.0s' $(seq 1 247))
printf '1,%s,,,\n' "$long" >long.csv
expect_error 1 "line 1: the record needs a block of 255 bytes" -- "$mkdb" build long.csv out.db
printf '1,%s,,,\n' "${long:1}" >longest.csv
"$mkdb" build longest.csv longest.db 2>/dev/null || fail "a block of 254 bytes is refused"
printf '1,A,B,C\n' >fields.csv
expect_error 1 "line 1: 4 fields" -- "$mkdb" build fields.csv out.db
printf '1,"A,B,C,D\n2,A,B,C,D\n' >quote.csv
expect_error 1 "never closed" -- "$mkdb" build quote.csv out.db
expect_error 1 "--title: \"ABCDEFGHIJKLMNOPQRSTUVW\" takes 23 bytes; a title holds at most 22" -- \
    "$mkdb" build canonical.csv out.db --title ABCDEFGHIJKLMNOPQRSTUVW
expect_error 1 "cannot be opened" -- "$mkdb" build missing.csv out.db
expect_error 1 "canonical.csv: not a database (format mark 101)" -- "$mkdb" dump canonical.csv
expect_error 2 "usage" -- "$mkdb" build canonical.csv
expect_error 1 "from 0 to 10000000" -- "$mkdb" demo 10000001 out.db
"$mkdb" build canonical.csv twenty-two.db --title ABCDEFGHIJKLMNOPQRSTUV 2>/dev/null || fail "22-byte title refused"
ls out.* *.partial-* >/dev/null 2>&1 && fail "a failed build left a file: $(ls out.* *.partial-* 2>/dev/null)"
# A failed build leaves an existing database untouched.
cp round.db keep.db
expect_error 1 "line 3, phone" -- "$mkdb" build bad-phone.csv keep.db
cmp -s round.db keep.db || fail "a failed build changed the existing file"

# --- where OUT leads: never over the input; into pipes and devices; through links, which stay ---
cp canonical.csv same.csv
expect_error 1 "same.csv: is the input file itself" -- "$mkdb" build same.csv same.csv
cmp -s canonical.csv same.csv || fail "build same.csv same.csv changed the CSV"
ln -s same.csv same-link.db
expect_error 1 "is the input file itself" -- "$mkdb" build same.csv same-link.db
cmp -s canonical.csv same.csv || fail "a build through a link to its input changed the CSV"
echo old >target.db
chmod 640 target.db
ln -s target.db link.db
"$mkdb" build canonical.csv link.db 2>/dev/null || fail "build into a link"
[ -L link.db ] || fail "the link was replaced by a file"
"$mkdb" dump target.db | cmp -s canonical.csv - || fail "the link's target does not hold the database"
[ "$(stat -c %a target.db)" = 640 ] || fail "the replaced file lost its permissions: $(stat -c %a target.db)"
ln -s made.db dangling.db
"$mkdb" build canonical.csv dangling.db 2>/dev/null || fail "build into a dangling link"
[ -L dangling.db ] && [ -f made.db ] || fail "a dangling link was not followed"
"$mkdb" build canonical.csv - --title ГОРОД >stdout.db 2>/dev/null || fail "build to standard output"
[ -e ./- ] && fail "build - made a file named -"
cmp -s round.db stdout.db || fail "build - wrote another database than build round.db"
mkfifo pipe.db
timeout 20 cat pipe.db >from-pipe.db &
reader=$!
timeout 20 "$mkdb" build canonical.csv pipe.db --title ГОРОД 2>/dev/null || fail "build into a pipe"
wait $reader
[ -p pipe.db ] || fail "the pipe was replaced by a file"
cmp -s round.db from-pipe.db || fail "the pipe did not carry the database"
if [ "$(id -u)" -eq 0 ]; then
    # Device nodes of our own with the numbers of the null and the full device.
    mknod null c 1 3 && mknod full c 1 7
    "$mkdb" build canonical.csv null 2>/dev/null || fail "build into a null device"
    [ -c null ] || fail "the device node was replaced by a file"
    expect_error 1 "full: cannot be written" -- "$mkdb" build canonical.csv full
    [ -c full ] || fail "the full device node was replaced by a file"
fi
mkdir folder.db
expect_error 1 "folder.db: is a folder" -- "$mkdb" build canonical.csv folder.db
ls ./*.partial-* >/dev/null 2>&1 && fail "a build left a temporary file: $(ls ./*.partial-*)"

# A damaged file dumps the records before the damage and says so.
head -c 80 round.db >cut.db
expect_error 1 "the records end early, after 1" -- "$mkdb" dump cut.db
grep -q '^1234567,' out.txt || fail "the record before the cut was not dumped"

if [ "$failures" -ne 0 ]; then
    echo "$failures failures" >&2
    exit 1
fi
echo "mkdb end to end: all passed"
