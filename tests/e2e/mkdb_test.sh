#!/bin/bash
# dialdex-mkdb end to end: round trips; import from standard input, gzip, ";" and cp1251; letter case and
# bad records; where OUT leads; dump's formats; errors and their exit codes.
# Arguments: the build folder, the source folder.
source "$(dirname "$0")/support.sh" "$@"

# --- CSV -> database -> CSV, byte for byte, in both storage forms (CR LF ends a row, as RFC 4180 has it) ---
printf '%s\r\n' \
    'phone,name,street,house,flat' \
    '1234567,ИВАНОВ ИВАН ПЕТРОВИЧ,ЛЕНИНА УЛ,12А,5' \
    '0,"КОМПАНИЯ ""РОГА, КОПЫТА""",МИРА ПР,1,' \
    '16777215,,,,' \
    $'42,"ДВЕ\nСТРОКИ",Street in Latin,7/2,100' \
    '12,IVAN,LENINA,1,1' >canonical.csv
for output in round.db round.zdb ROUND.ZDB; do
    "$mkdb" build canonical.csv "$output" --title "ГОРОД" --keep-case 2>err.txt || fail "build $output"
    grep -qx "$output: 5 records, 0 fields upper-cased" err.txt || fail "build $output said $(cat err.txt)"
    "$mkdb" dump "$output" >dumped.csv || fail "dump $output"
    cmp -s canonical.csv dumped.csv || fail "round trip through $output differs"
done
[ "$(head -c 2 round.zdb | od -An -tx1 | tr -d ' ')" = "1f8b" ] || fail ".zdb is not gzip"
[ "$(head -c 2 round.db | od -An -tx1 | tr -d ' ')" = "0500" ] || fail ".db record count"
# The title lies at offset 6 in code page 1251 (ГОРОД = C3 CE D0 CE C4).
[ "$(dd if=round.db bs=1 skip=4 count=8 2>/dev/null | od -An -tx1 | tr -d ' ')" = "0b07c3ced0cec400" ] ||
    fail "header mark, digits or title"

# The title and the phone digits go into the header; the digits pad the numbers the lookup shows.
"$mkdb" build canonical.csv digits.db -t SHORT --phone-digits 4 2>/dev/null || fail "build -t --phone-digits"
[ "$(dd if=digits.db bs=1 skip=4 count=8 2>/dev/null | od -An -tx1 | tr -d ' ')" = "0b0453484f525400" ] ||
    fail "-t SHORT --phone-digits 4 in the header"
[ "$("$find" digits.db -p 12 2>/dev/null | cut -d';' -f1 | tr '\n' ' ')" = "1234567 0012 " ] || fail "4 phone digits"

# Other spellings of the same CSV: CRLF, a byte order mark, no header line, blank lines.
printf '\xef\xbb\xbf1234567,ИВАНОВ ИВАН ПЕТРОВИЧ,ЛЕНИНА УЛ,12А,5\r\n\r\n0,"КОМПАНИЯ ""РОГА, КОПЫТА""",МИРА ПР,1,\r\n16777215,,,,\r\n42,"ДВЕ\nСТРОКИ",Street in Latin,7/2,100\r\n12,IVAN,LENINA,1,1' >other.csv
"$mkdb" build other.csv other.db --keep-case 2>/dev/null || fail "build other.csv"
"$mkdb" dump other.db | cmp -s canonical.csv - || fail "other spellings give other records"

# --- letters are upper-cased as the window's edits upper-case criteria, unless --keep-case ---
printf 'phone,name,street,house,flat\r\n1,иванов,Lenina ул,12а,\r\n2,ПЕТРОВ,МИРА,1,\r\n' >lower.csv
"$mkdb" build lower.csv upper.db 2>err.txt || fail "build lower.csv"
grep -qx "upper.db: 2 records, 3 fields upper-cased" err.txt || fail "upper-casing summary: $(cat err.txt)"
printf 'phone,name,street,house,flat\r\n1,ИВАНОВ,LENINA УЛ,12А,\r\n2,ПЕТРОВ,МИРА,1,\r\n' | cmp -s - <("$mkdb" dump upper.db) ||
    fail "upper-cased: $("$mkdb" dump upper.db)"
[ "$("$find" upper.db --name иванов 2>/dev/null)" = "0000001;ИВАНОВ;LENINA УЛ;12А;" ] ||
    fail "an upper-cased record is not found as the window would search"
"$mkdb" build lower.csv kept.db --keep-case 2>err.txt || fail "build --keep-case"
"$mkdb" dump kept.db | cmp -s lower.csv - || fail "--keep-case changed letters"

# --- input: standard input, gzip by name or by magic, ";" and a tab from the header line, cp1251 ---
gzip -c canonical.csv >canonical.csv.gz
cp canonical.csv.gz gzip-without-its-name.csv
"$mkdb" build canonical.csv.gz gz.db --title ГОРОД --keep-case 2>/dev/null || fail "build .csv.gz"
cmp -s round.db gz.db || fail ".csv.gz gives another database"
"$mkdb" build gzip-without-its-name.csv magic.db --title ГОРОД --keep-case 2>/dev/null || fail "build gzip by magic"
cmp -s round.db magic.db || fail "gzip told by its magic gives another database"
"$mkdb" build - stdin.db --title ГОРОД --keep-case <canonical.csv 2>/dev/null || fail "build from standard input"
cmp -s round.db stdin.db || fail "standard input gives another database"
"$mkdb" build - stdin-gz.db --title ГОРОД --keep-case <canonical.csv.gz 2>/dev/null || fail "build gzip from -"
cmp -s round.db stdin-gz.db || fail "gzip on standard input gives another database"
# What spreadsheets in Russian locales export: ";", CRLF, code page 1251.
printf 'phone;name;street;house;flat\r\n1234567;ИВАНОВ ИВАН;ЛЕНИНА УЛ;12А;5\r\n0;"КОМПАНИЯ ""РОГА; КОПЫТА""";МИРА ПР;1;\r\n' |
    iconv -f UTF-8 -t CP1251 >semicolon-1251.csv
printf 'phone,name,street,house,flat\r\n1234567,ИВАНОВ ИВАН,ЛЕНИНА УЛ,12А,5\r\n0,"КОМПАНИЯ ""РОГА; КОПЫТА""",МИРА ПР,1,\r\n' >expected.csv

"$mkdb" build semicolon-1251.csv semicolon.zdb --input-encoding cp1251 2>/dev/null || fail "build ; cp1251"
"$mkdb" dump semicolon.zdb | cmp -s expected.csv - || fail "; in cp1251: $("$mkdb" dump semicolon.zdb)"
expect_error 2 'semicolon-1251.csv, line 2: name "' -- "$mkdb" build semicolon-1251.csv out.db
grep -qF "is not valid UTF-8 (--input-encoding names another encoding, such as cp1251)" err.txt ||
    fail "no hint at --input-encoding: $(cat err.txt)"
printf 'phone\tname\tstreet\thouse\tflat\n1234567\tИВАНОВ ИВАН\tЛЕНИНА УЛ\t12А\t5\n0\t"КОМПАНИЯ ""РОГА; КОПЫТА"""\tМИРА ПР\t1\t\n' |
    iconv -f UTF-8 -t KOI8-R | "$mkdb" build - tab.db -e koi8-r 2>/dev/null || fail "build tabs in KOI8-R"
"$mkdb" dump tab.db | cmp -s expected.csv - || fail "tabs in KOI8-R: $("$mkdb" dump tab.db)"
printf '1234567|ИВАНОВ ИВАН|ЛЕНИНА УЛ|12А|5\n0|"КОМПАНИЯ ""РОГА; КОПЫТА"""|МИРА ПР|1|\n' |
    "$mkdb" build - bar.db -d '|' 2>/dev/null || fail "build --delimiter '|'"
"$mkdb" dump bar.db | cmp -s expected.csv - || fail "--delimiter '|': $("$mkdb" dump bar.db)"
printf '1;A;B;C;D\n' >semicolon-no-header.csv
expect_error 2 "line 1: 1 fields; a record has 5" -- "$mkdb" build semicolon-no-header.csv out.db
grep -qF -- "--delimiter ';'" err.txt || fail "no hint at --delimiter: $(cat err.txt)"
"$mkdb" build semicolon-no-header.csv semi.db --delimiter ';' 2>/dev/null || fail "build --delimiter ';'"
printf '\xef\xbb\xbf1,A,B,C,D\n' >bom.csv
expect_error 2 "begins with a UTF-8 byte order mark, but --input-encoding says cp1251" -- \
    "$mkdb" build bom.csv out.db --input-encoding cp1251
"$mkdb" build bom.csv bom.db --input-encoding UTF-8 2>/dev/null || fail "a byte order mark with utf-8"
expect_error 2 "--input-encoding: 'NO-SUCH-ENCODING' is no encoding iconv can convert from" -- \
    "$mkdb" build canonical.csv out.db --input-encoding NO-SUCH-ENCODING
expect_error 2 "does not keep ASCII as it is" -- "$mkdb" build canonical.csv out.db --input-encoding UTF-16
expect_error 2 "--delimiter: 'ab' is not one ASCII character" -- "$mkdb" build canonical.csv out.db --delimiter ab
# --header takes the first line as a header whatever it says; --no-header takes it as a record.
printf 'Tel,Name,Street,House,Flat\n1,A,B,C,D\n' >other-header.csv
expect_error 2 'other-header.csv, line 1: phone "Tel" is not a number' -- "$mkdb" build other-header.csv out.db
"$mkdb" build other-header.csv header.db --header 2>err.txt || fail "build --header"
grep -q ": 1 record," err.txt || fail "--header: $(cat err.txt)"
expect_error 2 'canonical.csv, line 1: phone "phone" is not a number' -- \
    "$mkdb" build canonical.csv out.db --no-header

# --- phones: leading zeros, above 16,777,215, not a number: errors naming the line, or skipped ---
printf 'phone,name,street,house,flat\n1,A,B,C,D\n0123,A,B,C,D\n16777216,A,B,C,D\n12a,A,B,C,D\n,A,B,C,D\n-1,A,B,C,D\n2,E,F,G,H\n' >phones.csv
expect_error 2 'phones.csv, line 3: phone "0123" has leading zeros, which a stored number cannot keep' -- \
    "$mkdb" build phones.csv out.db
sed -i '3d' phones.csv
expect_error 2 'line 3: phone "16777216" is above 16,777,215' -- "$mkdb" build phones.csv out.db
sed -i '3d' phones.csv
expect_error 2 'line 3: phone "12a" is not a number' -- "$mkdb" build phones.csv out.db
sed -i '3d' phones.csv
expect_error 2 'line 3: phone "" is empty' -- "$mkdb" build phones.csv out.db
sed -i '3d' phones.csv
expect_error 2 'line 3: phone "-1" is not a number' -- "$mkdb" build phones.csv out.db
printf 'phone,name,street,house,flat\n1,A,B,C,D\n0123,A,B,C,D\n16777216,A,B,C,D\n2,E,F,G,H\n' >phones.csv
"$mkdb" build phones.csv skipped.db --skip-bad 2>err.txt || fail "build --skip-bad"
grep -qF 'phones.csv, line 3: phone "0123" has leading zeros' err.txt || fail "--skip-bad line 3: $(cat err.txt)"
grep -qF 'phones.csv, line 4: phone "16777216"' err.txt || fail "--skip-bad line 4: $(cat err.txt)"
grep -qx "skipped.db: 2 records, 0 fields upper-cased, 2 bad records skipped" err.txt ||
    fail "--skip-bad summary: $(cat err.txt)"
[ "$("$mkdb" dump skipped.db | cut -d, -f1 | tr '\n' ' ')" = "phone 1 2 " ] || fail "--skip-bad kept other records"
{
    echo 'phone,name,street,house,flat'
    for line in $(seq 1 15); do echo "0$line,A,B,C,D"; done
    echo '3,A,B,C,D'
} >many-bad.csv
"$mkdb" build many-bad.csv many.db --skip-bad 2>err.txt || fail "build many bad records"
[ "$(grep -c ': skipped$' err.txt)" -eq 10 ] || fail "more than ten skipped records named: $(cat err.txt)"
grep -qx "dialdex-mkdb: and 5 more records skipped" err.txt || fail "the rest not counted: $(cat err.txt)"

# No good record left: exit 2, and OUT (an existing database, or none) is left as it was.
printf 'phone,name,street,house,flat\n0123,A,B,C,D\n16777216,A,B,C,D\n' >all-bad.csv
cp skipped.db kept.db
for out in kept.db none.db; do
    expect_error 2 "all-bad.csv: no good record (2 records skipped); $out is left as it was" -- \
        "$mkdb" build all-bad.csv "$out" --skip-bad
    grep -qF 'line 2: phone "0123" has leading zeros' err.txt || fail "all bad: the skipped not named: $(cat err.txt)"
done
cmp -s kept.db skipped.db || fail "a build with no good record changed its OUT"
[ ! -e none.db ] || fail "a build with no good record made its OUT"

# A signal that ends a build removes its temporary file; OUT stays as it was (here: none).
for signal in INT TERM HUP PIPE; do
    # A background job of a script starts with SIGINT ignored (which the build respects): undo that.
    env --default-signal="$signal" "$mkdb" demo 5000000 "signal-$signal.zdb" 2>/dev/null &
    builder=$!
    for _ in $(seq 1 500); do
        compgen -G "signal-$signal.zdb.partial-*" >/dev/null && break
        sleep 0.01
    done
    kill -s "$signal" "$builder"
    wait "$builder"
    status=$?
    [ "$status" -gt 128 ] || fail "SIG$signal: the build ended with $status"
    left=$(ls signal-"$signal".zdb* 2>/dev/null)
    [ -z "$left" ] || fail "SIG$signal left $left"
done

# --- a progress line on a terminal for an input that takes over a second; never into a file ---
"$mkdb" demo 1000000 big.db 2>/dev/null && "$mkdb" dump big.db >big.csv || fail "the big CSV"
script -qfec "'$mkdb' build big.csv big.zdb" /dev/null >terminal.txt || fail "build big.csv on a terminal"
grep -q "dialdex-mkdb: reading big.csv: [0-9,]* records, [0-9]*%" terminal.txt ||
    grep -q "dialdex-mkdb: writing big.zdb: [0-9]*%" terminal.txt || fail "no progress line: $(head -c 300 terminal.txt)"
grep -q "big.zdb: 1,000,000 records, 0 fields upper-cased" terminal.txt || fail "summary on a terminal"
"$mkdb" build big.csv big.zdb 2>err.txt || fail "build big.csv"
grep -q $'\r' err.txt && fail "a progress line went into a file"
rm -f big.db big.csv big.zdb

# --- errors: line and field named, exit code 2, nothing left behind ---
printf 'phone,name,street,house,flat\n1,A,B,C,D\n12a,A,B,C,D\n' >bad-phone.csv
expect_error 2 "bad-phone.csv, line 3: phone" -- "$mkdb" build bad-phone.csv out.zdb
long=$(printf 'X%.0s' $(seq 1 247))
printf '1,%s,,,\n' "${long:1}" >longest.csv
"$mkdb" build longest.csv longest.db 2>/dev/null || fail "a block of 254 bytes is refused"
# The CSV (printf's escapes)|the whole message after "dialdex-mkdb: bad.csv, ": every one names its line
# the same way, and quotes bytes that are not UTF-8 text (a NUL too) escaped, whole.
while IFS='|' read -r content message; do
    # shellcheck disable=SC2059
    printf "$content" >bad.csv
    expect_code 2 -- "$mkdb" build bad.csv out.db
    grep -qxF -- "dialdex-mkdb: bad.csv, $message" err.txt || fail "bad.csv ($content) said '$(cat err.txt)'"
done <<CASES
1,A,B,C,D\n2,Ωmega,B,C,D\n|line 2: name "Ωmega" holds U+03A9, which code page 1251 cannot write
1,A,B,C,\xff\n|line 1: flat "\xFF" is not valid UTF-8 (--input-encoding names another encoding, such as cp1251)
1,A\x00B,C,D,E\n|line 1: name "A\x00B" holds a NUL character
1\x00,A,C,D,E\n|line 1: phone "1\x00" is not a number
1,$long,,,\n|line 1: the record needs a block of 255 bytes, over the 254 a block holds (8 plus the lengths of name, street, house and flat)
1,A,B,C\n|line 1: 4 fields; a record has 5: phone, name, street, house, flat
1,A,B,C,D\n2,"A,B,C,D\n2,A,B,C,D\n|line 2: a quoted field begins there and is never closed
1,"A"B,C,D,E\n|line 1: a closing quote must end its field (a delimiter or the line's end must follow)
CASES
head -c 100 canonical.csv.gz >damaged.csv.gz
expect_error 2 "damaged.csv.gz: cannot be read" -- "$mkdb" build damaged.csv.gz out.db
expect_error 2 "--title: \"ABCDEFGHIJKLMNOPQRSTUVW\" takes 23 bytes; a title holds at most 22" -- \
    "$mkdb" build canonical.csv out.db --title ABCDEFGHIJKLMNOPQRSTUVW
expect_error 2 "--title: \"Ωmega\" holds U+03A9" -- "$mkdb" build canonical.csv out.db --title Ωmega
expect_error 2 "missing.csv: No such file or directory" -- "$mkdb" build missing.csv out.db
mkdir folder.csv
expect_error 2 "folder.csv: is a folder" -- "$mkdb" build folder.csv out.db
expect_error 2 "build takes IN and OUT; 1 operand given" -- "$mkdb" build canonical.csv
expect_error 2 "usage: dialdex-mkdb build [OPTIONS] IN OUT" -- "$mkdb" build canonical.csv
expect_error 2 "'frob' is no command: build, dump, demo or info" -- "$mkdb" frob
expect_error 2 "no command given" -- "$mkdb"
expect_error 2 "--seed is not for build" -- "$mkdb" build canonical.csv out.db --seed 3
for digits in 0 9 128 -1; do
    expect_error 2 "--phone-digits: '$digits' is not a number from 1 to 8" -- "$mkdb" build canonical.csv out.db --phone-digits $digits
done
expect_error 2 "--codepage: '1' is not a single-byte code page" -- "$mkdb" build canonical.csv out.db --codepage 1
expect_error 2 "'10000001' is not a number of subscribers from 0 to 10000000" -- "$mkdb" demo 10000001 out.db
expect_error 2 "--seed: 'x' is not a number" -- "$mkdb" demo 10 out.db --seed x
"$mkdb" build canonical.csv twenty-two.db --title ABCDEFGHIJKLMNOPQRSTUV 2>/dev/null || fail "22-byte title refused"
ls out.* ./*.partial-* >/dev/null 2>&1 && fail "a failed build left a file: $(ls out.* ./*.partial-* 2>/dev/null)"
# A failed build leaves an existing database untouched.
cp round.db keep.db
expect_error 2 "line 3: phone" -- "$mkdb" build bad-phone.csv keep.db
cmp -s round.db keep.db || fail "a failed build changed the existing file"

# --- where OUT leads: never over the input; into pipes and devices; through links, which stay ---
cp canonical.csv same.csv
expect_error 2 "same.csv: is the input file itself" -- "$mkdb" build same.csv same.csv
cmp -s canonical.csv same.csv || fail "build same.csv same.csv changed the CSV"
ln -s same.csv same-link.db
expect_error 2 "is the input file itself" -- "$mkdb" build same.csv same-link.db
expect_error 2 "is the input file itself" -- "$mkdb" build - same.csv <same.csv
cmp -s canonical.csv same.csv || fail "a build through a link to its input changed the CSV"
echo old >target.db
chmod 640 target.db
ln -s target.db link.db
"$mkdb" build canonical.csv link.db --keep-case 2>/dev/null || fail "build into a link"
[ -L link.db ] || fail "the link was replaced by a file"
"$mkdb" dump target.db | cmp -s canonical.csv - || fail "the link's target does not hold the database"
[ "$(stat -c %a target.db)" = 640 ] || fail "the replaced file lost its permissions: $(stat -c %a target.db)"
ln -s made.db dangling.db
"$mkdb" build canonical.csv dangling.db 2>/dev/null || fail "build into a dangling link"
[ -L dangling.db ] && [ -f made.db ] || fail "a dangling link was not followed"
"$mkdb" build canonical.csv - --title ГОРОД --keep-case >stdout.db 2>/dev/null || fail "build to standard output"
[ -e ./- ] && fail "build - made a file named -"
cmp -s round.db stdout.db || fail "build - wrote another database than build round.db"
mkfifo pipe.db
timeout 20 cat pipe.db >from-pipe.db &
reader=$!
timeout 20 "$mkdb" build canonical.csv pipe.db --title ГОРОД --keep-case 2>/dev/null || fail "build into a pipe"
wait $reader
[ -p pipe.db ] || fail "the pipe was replaced by a file"
cmp -s round.db from-pipe.db || fail "the pipe did not carry the database"
if [ "$(id -u)" -eq 0 ]; then
    # Device nodes of our own with the numbers of the null and the full device.
    mknod null c 1 3 && mknod full c 1 7
    "$mkdb" build canonical.csv null 2>/dev/null || fail "build into a null device"
    [ -c null ] || fail "the device node was replaced by a file"
    expect_error 2 "full: cannot be written: No space left on device" -- "$mkdb" build canonical.csv full
    [ -c full ] || fail "the full device node was replaced by a file"
fi
expect_error 2 "(standard output): cannot be written: No space left on device" -- \
    bash -c '"$0" build canonical.csv - >/dev/full' "$mkdb"
mkdir folder.db
expect_error 2 "folder.db: is a folder" -- "$mkdb" build canonical.csv folder.db
ls ./*.partial-* >/dev/null 2>&1 && fail "a build left a temporary file: $(ls ./*.partial-*)"

# --- demo -> dump -> build gives the same records; the same seed gives the same file ---
"$mkdb" demo 1000 demo.zdb --seed 5 2>/dev/null || fail "demo"
"$mkdb" demo 1000 demo.db --seed 5 2>/dev/null || fail "demo .db"
"$mkdb" demo 1000 again.db --seed 5 2>/dev/null || fail "demo again"
cmp -s demo.db again.db || fail "demo is not deterministic"
"$mkdb" demo 1000 other-seed.db --seed 6 2>/dev/null
cmp -s demo.db other-seed.db && fail "another seed gives the same directory"
"$mkdb" dump demo.zdb >demo.csv || fail "dump demo"
[ "$(wc -l <demo.csv)" -eq 1001 ] || fail "demo has $(wc -l <demo.csv) lines"
"$mkdb" build demo.csv rebuilt.zdb --title DEMO 2>err.txt || fail "build demo.csv"
grep -q ", 0 fields upper-cased" err.txt || fail "the demo directory is not upper case: $(cat err.txt)"
"$mkdb" dump rebuilt.zdb | cmp -s demo.csv - || fail "demo records differ after a rebuild"
[ "$(tail -n +2 demo.csv | cut -d, -f1 | sort -u | wc -l)" -eq 1000 ] || fail "demo phones not unique"
[ "$(tail -n +2 demo.csv | cut -d, -f1 | grep -cvE '^[2-9][0-9]{6}$')" -eq 0 ] || fail "demo phones not 7 digits"
grep -qE '^[0-9]+,[^ ,]+ [^ ,]+ [^ ,]+(ВИЧ|ВНА|ИЧ|ИЧНА),' demo.csv || fail "demo names"
"$mkdb" dump demo.db | cmp -s demo.csv - || fail "demo .db and .zdb differ"

# --- dump --meta | build - gives the same decompressed bytes: the demo databases, titles that need escapes ---
"$mkdb" demo 100000 moscow.zdb --seed 1 --title "MOSCOW DEMO" 2>/dev/null || fail "demo moscow.zdb"
"$mkdb" demo 5000 suburbs.db --seed 2 --title "SUBURBS DEMO" 2>/dev/null || fail "demo suburbs.db"
printf 'phone,name,street,house,flat\n5,иванов Lower,ул. Мира,1,\n' >lower-case.csv
# same_after_round_trip DATABASE: dump --meta | build - makes the same decompressed bytes.
same_after_round_trip() {
    "$mkdb" dump --meta "$1" | "$mkdb" build - rebuilt.db 2>/dev/null || fail "build from dump --meta $1"
    cmp -s <(gzip -dcf "$1") rebuilt.db || fail "dump --meta $1 | build - differs ($2)"
}
same_after_round_trip moscow.zdb "a demo database"
same_after_round_trip suburbs.db "a demo database"
while IFS='|' read -r title digits; do
    "$mkdb" build lower-case.csv "titled.zdb" --keep-case --title "$title" --phone-digits "$digits" 2>/dev/null ||
        fail "build --title '$title'"
    same_after_round_trip titled.zdb "title '$title', $digits digits"
done <<'TITLES'
CITY; "QUOTED"|4
\;\|1
ГОРОД Ёлки; Ъ|8
;|6
TITLES
[ "$("$mkdb" dump --meta titled.zdb | head -1)" = $'# dialdex: title=\\;; digits=6\r' ] ||

    fail "the meta line: $("$mkdb" dump --meta titled.zdb | head -1)"
# The options win over the meta line; a bad meta line names the input and its line.
"$mkdb" dump --meta suburbs.db | "$mkdb" build - other.db --title OTHER --phone-digits 5 2>/dev/null
[ "$(dd if=other.db bs=1 skip=5 count=6 2>/dev/null)" = "$(printf '\005OTHER')" ] || fail "--title and --phone-digits lost"
printf '# dialdex: title=ABCDEFGHIJKLMNOPQRSTUVW\n1,A,,,\n' >long-title.csv
expect_error 2 'long-title.csv, line 1: the title "ABCDEFGHIJKLMNOPQRSTUVW" takes 23 bytes' -- \
    "$mkdb" build long-title.csv out.db
printf '# dialdex: digits=x\n' >bad-digits.csv
expect_error 2 "bad-digits.csv, line 1: the meta line's digits 'x' are no number from -128 to 127" -- \
    "$mkdb" build bad-digits.csv out.db

# --- info: the header, the storage and the records of good, cut and damaged files; exit 0 only when whole ---
size=$(stat -c %s moscow.zdb)
head -c $((size / 2)) moscow.zdb >info-cut.zdb
head -c $((size - 4)) moscow.zdb >info-cut-trailer.zdb
cp moscow.zdb info-crc.zdb
printf '\x00\x00' | dd of=info-crc.zdb bs=1 seek=$((size - 8)) conv=notrunc 2>/dev/null
cp moscow.zdb info-data.zdb
printf 'XXXXXXXXXXXXXXXX' | dd of=info-data.zdb bs=1 seek=$((size / 2)) conv=notrunc 2>/dev/null
{ cat moscow.zdb; gzip -c suburbs.db; printf 'junk'; } >info-members.zdb
{ cat suburbs.db; printf 'after'; } >info-after.db
head -c 100 suburbs.db >info-cut.db
moscow_members=$("$mkdb" info --format json moscow.zdb | python3 -c 'import json, sys; print(json.load(sys.stdin)["members"])')
# file|exit|records present (* any)|end mark|crc|trailing bytes|trailing compressed bytes|members|verdict begins
while IFS='|' read -r file code records end crc trailing compressed members verdict; do
    expect_code "$code" -- "$mkdb" info --format json "$file"
    python3 - out.txt "$records" "$end" "$crc" "$trailing" "$compressed" "$members" "$verdict" <<'PYTHON' ||
import json, sys
got = json.loads(open(sys.argv[1], encoding="utf-8").read())
records, end, crc, trailing, compressed, members, verdict = sys.argv[2:]
ok = ((records == "*" or got["records"] == int(records)) and got["end_mark"] == (end == "yes") and got["crc"] == crc and
      got["trailing_bytes"] == int(trailing) and got["trailing_compressed_bytes"] == int(compressed) and
      (members == "*" or got["members"] == int(members)) and got["verdict"].startswith(verdict) and got["title"] and
      got["format_mark"] == 11 and got["phone_digits"] == 7)
sys.exit(0 if ok else 1)
PYTHON
        fail "info $file: $(cat out.txt)"
done <<FILES
moscow.zdb|0|100000|yes|good|0|0|$moscow_members|whole
suburbs.db|0|5000|yes|none (plain)|0|0|0|whole
info-after.db|0|5000|yes|none (plain)|5|0|0|whole
info-members.zdb|0|100000|yes|good|$(stat -c %s suburbs.db)|4|$((moscow_members + 1))|whole
info-cut.zdb|2|*|no|not all read|0|0|*|cut
info-cut-trailer.zdb|2|100000|yes|not all read|0|0|*|cut
info-crc.zdb|2|100000|yes|wrong|0|0|*|damaged
info-data.zdb|2|*|no|wrong|0|0|*|damaged
info-cut.db|2|*|no|none (plain)|0|0|0|cut
FILES
# Several files: a block each for people, exit 2 for the one cut; a missing file is an error named on stderr.
expect_error 2 "dialdex-mkdb: missing.zdb: No such file or directory" -- "$mkdb" info moscow.zdb info-cut.db missing.zdb
grep -qx "  records present: *100,000" out.txt && grep -qx "  verdict: *whole" out.txt ||
    fail "info for people: $(cat out.txt)"
[ "$(grep -c '^  verdict:' out.txt)" -eq 2 ] || fail "info blocks: $(cat out.txt)"
head -c 28 suburbs.db >info-short.db
expect_code 2 -- "$mkdb" info info-short.db
grep -qx "  verdict: *not a database (28 of the 29 header bytes)" out.txt || fail "info of a short file: $(cat out.txt)"
cat moscow.zdb | expect_error 0 "dialdex-mkdb: - is named 2 times; standard input is read once" -- "$mkdb" info - -
[ "$(grep -c '^  verdict: *whole$' out.txt)" -eq 1 ] || fail "info - -: $(cat out.txt)"
expect_error 2 "info takes one FILE or more; 0 operands given" -- "$mkdb" info

expect_error 2 "--format: info writes plain or json" -- "$mkdb" info moscow.zdb --format csv

# --- dump: formats, standard input, damage, write errors ---
printf 'phone\tname\tstreet\thouse\tflat\n1234567\tИВАНОВ ИВАН ПЕТРОВИЧ\tЛЕНИНА УЛ\t12А\t5\n0\tКОМПАНИЯ "РОГА, КОПЫТА"\tМИРА ПР\t1\t\n16777215\t\t\t\t\n42\tДВЕ\\nСТРОКИ\tStreet in Latin\t7/2\t100\n12\tIVAN\tLENINA\t1\t1\n' >expected.tsv
"$mkdb" dump round.zdb --format tsv | cmp -s expected.tsv - || fail "dump --format tsv: $("$mkdb" dump round.zdb --format tsv)"
"$mkdb" dump round.zdb --format json >dumped.json || fail "dump --format json"
python3 - canonical.csv dumped.json <<'PYTHON' || fail "dump --format json does not hold the CSV's records"
import csv, json, sys
expected = list(csv.DictReader(open(sys.argv[1], encoding="utf-8", newline="")))
got = [json.loads(line) for line in open(sys.argv[2], encoding="utf-8")]
sys.exit(0 if got == expected else 1)
PYTHON
[ "$("$mkdb" dump round.zdb --format plain --no-header | head -1)" = "1234567;ИВАНОВ ИВАН ПЕТРОВИЧ;ЛЕНИНА УЛ;12А;5" ] ||
    fail "dump --format plain --no-header"
"$mkdb" dump - <round.zdb | cmp -s canonical.csv - || fail "dump of gzip on standard input"
"$mkdb" dump - <round.db | cmp -s canonical.csv - || fail "dump of a plain database on standard input"
cat round.db | "$mkdb" dump - | cmp -s canonical.csv - || fail "dump of a pipe"
gzip -c round.db >gzip-named.db
"$mkdb" dump gzip-named.db | cmp -s canonical.csv - || fail "a .db holding gzip is not told by its magic"
head -c 80 round.db >cut.db
expect_error 2 "cut.db: data end before the end mark after 1 record" -- "$mkdb" dump cut.db
grep -q '^1234567,' out.txt || fail "the record before the cut was not dumped"
# A wrong CRC-32: every record is dumped, then the verdict; trailing bytes only warn.
cp round.zdb crc.zdb
printf '\x00' | dd of=crc.zdb bs=1 seek=$(($(stat -c %s round.zdb) - 8)) conv=notrunc 2>/dev/null
expect_error 2 "dialdex-mkdb: crc.zdb: damaged (CRC error): the records printed may be wrong" -- "$mkdb" dump crc.zdb
cmp -s out.txt canonical.csv || fail "the records of a file with a wrong CRC-32 were not all dumped"
{ cat round.zdb; printf 'garbage'; } >trailing.zdb
expect_code 0 -- "$mkdb" dump trailing.zdb
grep -qxF "dialdex-mkdb: trailing.zdb: decompression OK, trailing garbage ignored" err.txt ||
    fail "trailing bytes: $(cat err.txt)"
expect_error 2 "canonical.csv: not a database (format mark 101)" -- "$mkdb" dump canonical.csv
expect_error 2 "(standard input): not a database (0 of the 29 header bytes)" -- "$mkdb" dump - </dev/null
# gzip data broken before the header's end are named by what broke them, in dump and in info.
{ head -c 2 round.zdb; printf '\007'; tail -c +4 round.zdb; } >method.zdb
expect_error 2 "dialdex-mkdb: method.zdb: damaged (unknown compression method): no database header could be read" -- \
    "$mkdb" dump method.zdb
expect_code 2 -- "$mkdb" info method.zdb
grep -qx "  verdict: *damaged (unknown compression method): no database header could be read" out.txt ||
    fail "info method.zdb: $(cat out.txt)"

expect_error 2 "standard output: No space left on device" -- bash -c '"$0" dump demo.zdb >/dev/full' "$mkdb"
expect_error 2 "--format: 'xml' is none of plain, csv, tsv or json" -- "$mkdb" dump round.db --format xml
expect_error 2 "--title is not for dump" -- "$mkdb" dump round.db --title X

# --- a .zdb as members for reading on every core, and --members off ---
"$mkdb" demo 60000 members.zdb --seed 3 2>/dev/null || fail "demo members.zdb"
"$mkdb" demo 60000 single.zdb --seed 3 --members off 2>/dev/null || fail "demo --members off"
gzip -t members.zdb || fail "gzip -t on members.zdb"
cmp -s <(zcat members.zdb) <(zcat single.zdb) || fail "members and one member hold different bytes"
[ "$(head -c 16 members.zdb | od -An -tx1 | tr -d ' \n')" = "1f8b0804000000000003080044780400" ] ||
    fail "the first member's header"
[ "$(head -c 4 single.zdb | od -An -tx1 | tr -d ' ')" = "1f8b0800" ] || fail "--members off has an extra field"
# Every member's size field leads to the next member's magic, and the last one to the file's end.
offset=0 members=0 size=$(stat -c %s members.zdb)
while [ "$offset" -lt "$size" ]; do
    [ "$(dd if=members.zdb bs=1 skip="$offset" count=2 2>/dev/null | od -An -tx1 | tr -d ' ')" = "1f8b" ] ||
        fail "no member at $offset"
    offset=$((offset + $(dd if=members.zdb bs=1 skip=$((offset + 16)) count=4 2>/dev/null | od -An -tu4)))
    members=$((members + 1))
done
[ "$offset" -eq "$size" ] && [ "$members" -eq 3 ] || fail "members end at $offset of $size, $members members"
[ "$size" -le $(($(stat -c %s single.zdb) * 103 / 100)) ] || fail "members grow the file past 3%"
zcat single.zdb >members-plain.db
for form in members.zdb single.zdb members-plain.db; do
    "$find" "$form" -n 'К' 2>/dev/null >"found-$form.txt" || fail "find in $form"
done
cmp -s found-members.zdb.txt found-single.zdb.txt && cmp -s found-members.zdb.txt found-members-plain.db.txt ||
    fail "find lists differently in members, one member and plain"
expect_error 2 "--members: 'maybe' is neither on nor off" -- "$mkdb" demo 1 x.zdb --members maybe

finish "mkdb end to end"
