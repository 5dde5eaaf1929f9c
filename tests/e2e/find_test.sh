#!/bin/bash
# dialdex-find end to end: matches and exit codes, the output formats, several files and standard input,
# --count, --max and --quiet, damaged files, write errors, refused criteria, host paths.
# Arguments: the build folder, the source folder.
source "$(dirname "$0")/support.sh" "$@"

printf '%s\n' \
    'phone,name,street,house,flat' \
    '1234567,ИВАНОВ ИВАН ПЕТРОВИЧ,ЛЕНИНА УЛ,12А,5' \
    '0,"КОМПАНИЯ ""РОГА, КОПЫТА""",МИРА ПР,1,' \
    '16777215,,,,' \
    '42,"ДВЕ' \
    'СТРОКИ",Street in Latin,7/2,100' \
    '12,IVAN,LENINA,1,1' \
    '77,"A;B ""Q""	T' \
    'Z",S,H,F' >canonical.csv
"$mkdb" build canonical.csv round.db --keep-case 2>/dev/null || fail "build round.db"
"$mkdb" build canonical.csv round.zdb --keep-case 2>/dev/null || fail "build round.zdb"

# --- matches as the result list shows them; exit 0 found, 1 nothing ---
expect_code 0 -- "$find" round.zdb --phone 12
printf '1234567;ИВАНОВ ИВАН ПЕТРОВИЧ;ЛЕНИНА УЛ;12А;5\n0000012;IVAN;LENINA;1;1\n' | cmp -s - out.txt ||
    fail "find --phone 12 printed $(cat out.txt)"
grep -qx "scanned 6, results 2" err.txt || fail "find said $(cat err.txt)"
# Criteria are upper-cased as the edits would; short options and --opt=value.
"$find" round.db -n "иванов" --house=12а >found.txt 2>/dev/null
[ "$(cat found.txt)" = "1234567;ИВАНОВ ИВАН ПЕТРОВИЧ;ЛЕНИНА УЛ;12А;5" ] || fail "find -n иванов: $(cat found.txt)"
"$find" round.db --name "компания \"рога," >found.txt 2>/dev/null
[ "$(cat found.txt)" = '0000000;КОМПАНИЯ "РОГА, КОПЫТА";МИРА ПР;1;' ] || fail "find with quotes: $(cat found.txt)"
"$find" round.db --phone '?' >found.txt 2>/dev/null
[ "$(wc -l <found.txt)" -eq 8 ] || fail "pattern ? found $(wc -l <found.txt) lines" # two records hold a line break
# Eight-digit numbers are shown whole in every format, and padded to 8 digits where the header says so.
"$mkdb" build canonical.csv eight.db --keep-case --phone-digits 8 2>/dev/null || fail "build eight.db"
while read -r file format pattern expected; do
    "$find" "$file" --phone "$pattern" --format "$format" >found.txt 2>/dev/null
    grep -qF -- "$expected" found.txt || fail "$file --format $format --phone $pattern printed $(cat found.txt)"
done <<'TABLE'
round.db plain 1677 16777215;;;;
round.db csv 1677 16777215,,,,
round.db tsv 1677 16777215
round.db json 1677 "phone":"16777215"
round.zdb plain 1677 16777215;;;;
eight.db plain 42 00000042;
eight.db json 42 "phone":"00000042"
eight.db plain 1677 16777215;
TABLE
"$find" round.db --phone '1?3' -s лен --flat 5 >found.txt 2>/dev/null
[ "$(cat found.txt)" = "1234567;ИВАНОВ ИВАН ПЕТРОВИЧ;ЛЕНИНА УЛ;12А;5" ] || fail "find 1?3 лен 5: $(cat found.txt)"
expect_code 1 -- "$find" round.db --name Ъ
[ -s out.txt ] && fail "no match printed $(cat out.txt)"
grep -qx "scanned 6, results 0" err.txt || fail "no match said $(cat err.txt)"

# --- formats: a name holding ";", a quote, a tab and a line break comes back whole from csv and json ---
"$find" round.db --name 'a;b' --format csv --header >found.csv 2>/dev/null || fail "--format csv"
"$find" round.db --name 'a;b' --format json --header >found.json 2>/dev/null || fail "--format json"
python3 - found.csv found.json <<'PYTHON' || fail "csv or json lost the fields: $(cat found.csv found.json)"
import csv, json, sys
expected = [{"phone": "0000077", "name": 'A;B "Q"\tT\nZ', "street": "S", "house": "H", "flat": "F"}]
from_csv = list(csv.DictReader(open(sys.argv[1], encoding="utf-8", newline="")))
from_json = [json.loads(line) for line in open(sys.argv[2], encoding="utf-8")]
sys.exit(0 if from_csv == expected and from_json == expected else 1)
PYTHON
printf 'phone\tname\tstreet\thouse\tflat\n0000077\tA;B "Q"\\tT\\nZ\tS\tH\tF\n' >expected.tsv
"$find" round.db --name 'a;b' --format tsv --header 2>/dev/null | cmp -s expected.tsv - || fail "--format tsv"
[ "$("$find" round.db -p 12 --header 2>/dev/null | head -1)" = "phone;name;street;house;flat" ] ||
    fail "--header in plain"
expect_error 2 "--format: 'xml' is none of plain, csv, tsv or json" -- "$find" round.db -p 1 --format xml

# --- several files, standard input; the file named on each line with several, or when asked ---
expect_code 0 -- "$find" round.db round.zdb -p 12
printf 'round.db;1234567;ИВАНОВ ИВАН ПЕТРОВИЧ;ЛЕНИНА УЛ;12А;5\nround.db;0000012;IVAN;LENINA;1;1\n' >expected.txt
printf 'round.zdb;1234567;ИВАНОВ ИВАН ПЕТРОВИЧ;ЛЕНИНА УЛ;12А;5\nround.zdb;0000012;IVAN;LENINA;1;1\n' >>expected.txt
cmp -s expected.txt out.txt || fail "two files: $(cat out.txt)"
grep -qx "round.zdb: scanned 6, results 2" err.txt || fail "two files said $(cat err.txt)"
[ "$("$find" round.db round.zdb -p 12 --no-filename 2>/dev/null | wc -l)" -eq 4 ] || fail "--no-filename"
"$find" round.db round.zdb -p 12 --no-filename 2>/dev/null | grep -q '^round' && fail "--no-filename named files"
[ "$("$find" -H round.db -p 12 2>/dev/null | head -1)" = "round.db;1234567;ИВАНОВ ИВАН ПЕТРОВИЧ;ЛЕНИНА УЛ;12А;5" ] ||
    fail "--with-filename"
[ "$("$find" round.db round.zdb -p 12 --format csv --header 2>/dev/null | head -1)" = $'file,phone,name,street,house,flat\r' ] ||
    fail "the header with several files"
"$find" round.db - -p 12 --format json <round.zdb 2>/dev/null | tail -1 >found.json
[ "$(cat found.json)" = '{"file":"(standard input)","phone":"0000012","name":"IVAN","street":"LENINA","house":"1","flat":"1"}' ] ||
    fail "json with several files: $(cat found.json)"
"$find" - -p 12 <round.zdb 2>/dev/null | cmp -s - <("$find" round.zdb -p 12 2>/dev/null) || fail "gzip on standard input"
cat round.db | "$find" - -p 12 2>/dev/null | cmp -s - <("$find" round.zdb -p 12 2>/dev/null) || fail "a plain pipe"
"$find" <(cat round.zdb) -p 12 2>/dev/null | cmp -s - <("$find" round.zdb -p 12 2>/dev/null) || fail "a pipe by name"
# Standard input named again is read once, with a word: a used-up pipe is never read as an empty file.
cat round.zdb | expect_code 0 -- "$find" - round.db - -p 12 -c
[ "$(tr '\n' ' ' <out.txt)" = "(standard input);2 round.db;2 " ] || fail "- named twice: $(cat out.txt)"
grep -qx "dialdex-find: - is named 2 times; standard input is read once" err.txt || fail "- named twice said $(cat err.txt)"

gzip -c round.db >gzip-named.db
"$find" gzip-named.db -p 12 2>/dev/null | cmp -s - <("$find" round.db -p 12 2>/dev/null) || fail "gzip told by its magic"

# --- --count, --max, --quiet ---
[ "$("$find" round.db -p 12 -c 2>/dev/null)" = 2 ] || fail "--count"
[ "$("$find" round.db round.zdb -p 12 --count 2>/dev/null | tr '\n' ' ')" = "round.db;2 round.zdb;2 " ] ||
    fail "--count per file"
[ "$("$find" round.db -p 12 -c --format json 2>/dev/null)" = '{"count":2}' ] || fail "--count in json"
[ "$("$find" round.db -p 12 -c --format csv --header -H 2>/dev/null | tr '\n' ' ')" = $'file,count\r round.db,2\r ' ] ||
    fail "--count in csv with its header"
expect_code 1 -- "$find" round.db -n Ъ --count
[ "$(cat out.txt)" = 0 ] || fail "--count of nothing: $(cat out.txt)"
[ "$("$find" round.db -p 12 -m 1 2>/dev/null)" = "1234567;ИВАНОВ ИВАН ПЕТРОВИЧ;ЛЕНИНА УЛ;12А;5" ] || fail "--max 1"
[ "$("$find" round.db round.zdb -p 12 --max=1 --count 2>/dev/null | tr '\n' ' ')" = "round.db;1 round.zdb;1 " ] ||
    fail "--max counts per file"
expect_code 1 -- "$find" round.db -p 12 -m 0
[ -s out.txt ] && fail "--max 0 printed $(cat out.txt)"
expect_error 2 "--max: '-1' is not a whole number from 0" -- "$find" round.db -p 12 --max -1
expect_code 0 -- "$find" round.db -p 12 -q
[ -s out.txt ] || [ -s err.txt ] && fail "--quiet printed $(cat out.txt err.txt)"
expect_code 1 -- "$find" round.db -n Ъ --quiet
# --quiet ends at the first match: a file after it is never opened, and an error before it does not count.
expect_code 0 -- "$find" -q round.db missing.zdb -p 12
[ -s err.txt ] && fail "--quiet opened a file after the match: $(cat err.txt)"
expect_code 0 -- "$find" -q missing.zdb round.db -p 12
grep -q "missing.zdb: No such file or directory" err.txt || fail "--quiet hid an error: $(cat err.txt)"

# --- errors name the program, the file and the reason; what was read stands; exit 2 ---
expect_error 2 "dialdex-find: missing.zdb: No such file or directory" -- "$find" missing.zdb --name A
expect_error 2 "dialdex-find: canonical.csv: not a database (format mark 101)" -- "$find" canonical.csv --name A
mkdir folder.zdb
expect_error 2 "dialdex-find: folder.zdb: is a folder" -- "$find" folder.zdb --name A
expect_error 2 "(standard input): not a database (0 of the 29 header bytes)" -- "$find" - -p 1 </dev/null
head -c 80 round.db >cut.db
expect_error 2 "dialdex-find: cut.db: data end before the end mark after 1 record" -- "$find" cut.db -p 1
[ "$(cat out.txt)" = "1234567;ИВАНОВ ИВАН ПЕТРОВИЧ;ЛЕНИНА УЛ;12А;5" ] || fail "the record before the cut: $(cat out.txt)"
"$mkdb" demo 5000 demo.zdb 2>/dev/null || fail "demo"
head -c $(($(stat -c %s demo.zdb) / 2)) demo.zdb >half.zdb
expect_error 2 "dialdex-find: half.zdb: data end before the end mark after " -- "$find" half.zdb -p '?'
grep -qE "after [0-9],[0-9]{3} records$" err.txt || fail "the count is not grouped: $(cat err.txt)"
[ "$(wc -l <out.txt)" -gt 1000 ] || fail "the records before the damage were not printed"
# A damaged gzip stream (bytes changed in the middle): what was inflated is printed, then the verdict.
cp demo.zdb changed.zdb
printf 'XXXXXXXXXXXXXXXX' | dd of=changed.zdb bs=1 seek=$(($(stat -c %s demo.zdb) / 2)) conv=notrunc 2>/dev/null
expect_error 2 "dialdex-find: changed.zdb: damaged (CRC error): the records printed may be wrong" -- \
    "$find" changed.zdb -p '?'

# A .zdb is read to the end of its last member and every member's CRC-32 and length are checked, the
# end mark's member too. The database in two members (a bad first member must count as a bad last one);
# each row: file, exit code, the message (or none), whether every record is printed as from the sound file.
"$find" demo.zdb -p '?' >sound.txt 2>/dev/null || fail "demo.zdb"
python3 - <<'PYTHON' || fail "making the damaged files"
import gzip, zlib
data = gzip.decompress(open("demo.zdb", "rb").read())
def member(part):
    return gzip.compress(part, mtime=0)
def flipped(member_bytes, from_end):
    b = bytearray(member_bytes); b[len(b) - from_end] ^= 0x01; return bytes(b)
whole = member(data)
first, last = member(data[:len(data) // 2]), member(data[len(data) // 2:])
files = {
    "good.zdb": whole,
    "two.zdb": first + last,
    "crc.zdb": flipped(whole, 8),
    "length.zdb": flipped(whole, 1),
    "first-crc.zdb": flipped(first, 8) + last,
    "last-crc.zdb": first + flipped(last, 8),
    "trailer-cut.zdb": whole[:-3],
    "after-end-cut.zdb": whole + first[:5],
    "trailing.zdb": whole + b"garbage",
    "early.zdb": member(data[:len(data) - 1] + b"\x7f"),
    "method.zdb": whole[:2] + b"\x07" + whole[3:],
    "header-check.zdb": whole[:3] + bytes([whole[3] | 2]) + whole[4:10] + b"\0\0" + whole[10:],
    "header-cut.zdb": whole[:10],
    "second-method.zdb": whole + first[:2] + b"\x07" + first[3:],
    "not-gzip.zdb": b"phone,name,street,house,flat\n" * 3,
}
for name, content in files.items():
    open(name, "wb").write(content)
PYTHON
while IFS='|' read -r file code message whole; do
    expect_code "$code" -- "$find" "$file" -p '?'
    if [ -n "$message" ]; then
        grep -qxF "dialdex-find: $file: $message" err.txt || fail "$file said '$(cat err.txt)', expected '$message'"
    else
        [ "$(wc -l <err.txt)" -eq 1 ] || fail "$file said more than its counts: $(cat err.txt)"
    fi
    [ "$whole" = no ] || cmp -s out.txt sound.txt || fail "$file did not print every record"
done <<'CASES'
good.zdb|0||yes
two.zdb|0||yes
crc.zdb|2|damaged (CRC error): the records printed may be wrong|yes
length.zdb|2|damaged (CRC error): the records printed may be wrong|yes
first-crc.zdb|2|damaged (CRC error): the records printed may be wrong|yes
last-crc.zdb|2|damaged (CRC error): the records printed may be wrong|yes
trailer-cut.zdb|2|damaged (CRC error): the records printed may be wrong|yes
after-end-cut.zdb|2|damaged (CRC error): the records printed may be wrong|yes
trailing.zdb|0|decompression OK, trailing garbage ignored|yes
early.zdb|2|data end before the end mark after 5,000 records|yes
method.zdb|2|damaged (unknown compression method): no database header could be read|no
header-check.zdb|2|damaged (header CRC error): no database header could be read|no
header-cut.zdb|2|cut: the gzip data end after 0 of the 29 header bytes|no
second-method.zdb|2|damaged (unknown compression method): the records printed may be wrong|yes
not-gzip.zdb|2|not a gzip file, nor a plain database (format mark 101)|no
CASES

# --max and --quiet stop reading on purpose: what was never read is not judged.
expect_code 0 -- "$find" crc.zdb -p '?' --max 3
expect_code 0 -- "$find" crc.zdb -p '?' --quiet
# Matches in one file and an error in another: both shown, exit 2.
expect_error 2 "missing.zdb: No such file or directory" -- "$find" round.db missing.zdb -p 12
[ "$(wc -l <out.txt)" -eq 2 ] || fail "the matches before an error were not printed"
expect_error 2 "dialdex-find: standard output: No space left on device" -- \
    bash -c '"$0" demo.zdb -p "?" >/dev/full' "$find"

# --- criteria: refused when the code page cannot hold them, when not UTF-8, when too long ---
expect_error 2 "dialdex-find: --phone: '名' holds U+540D, which code page 1251 cannot write" -- "$find" round.db --phone 名
# Bytes that are not UTF-8 are shown escaped, never raw.
expect_error 2 "--name: 'A\\xFF\\xC3\\x01Ё' is not valid UTF-8" -- "$find" round.db --name $'A\xff\xc3\x01Ё'

expect_error 2 "--street: '😀' holds U+1F600" -- "$find" round.db --street 😀
expect_error 2 "--house: '12345678' has 8 characters; a house criterion holds at most 7" -- \
    "$find" round.db --house 12345678
expect_error 2 "--phone: '12345678901234567890123456789012' has 32 characters; a phone criterion holds at most 31" -- \
    "$find" round.db --phone 12345678901234567890123456789012
expect_error 2 "no criterion given: use --phone, --name, --street, --house or --flat" -- "$find" round.db
expect_error 2 "no criterion given" -- "$find" round.db --name ""
expect_error 2 "no FILE given (- reads standard input)" -- "$find" --name A
expect_error 2 "usage: dialdex-find [OPTIONS] FILE..." -- "$find" --name A
# Another code page, both in the database and in the criteria.
printf '1,äpfel,,,\n' | "$mkdb" build - west.db --codepage 1252 2>/dev/null || fail "build in code page 1252"
[ "$("$find" west.db --codepage 1252 --name ä 2>/dev/null)" = "0000001;ÄPFEL;;;" ] || fail "find --codepage 1252"
# Code page 437 has â but not Â: the record keeps â and so does the criterion, and they meet.
printf '1,âé,,,\n' | "$mkdb" build - dos.db --codepage 437 2>/dev/null || fail "build in code page 437"
[ "$("$find" dos.db --codepage 437 --name âé 2>/dev/null)" = "0000001;âÉ;;;" ] || fail "find --codepage 437 âé"
expect_error 2 "--codepage: '99999' is not a single-byte code page" -- "$find" west.db --codepage 99999 -p 1

# --- --ignore-case: a database built with --keep-case is found whatever case the criteria and texts use ---
printf 'phone,name,street,house,flat\n1,Иванов Ёж,ул. Мира,12а,\n2,иванова,Lenina,1,\n3,ПЕТРОВ,МИРА,2,\n' >mixed.csv
"$mkdb" build mixed.csv mixed.zdb --keep-case 2>/dev/null || fail "build mixed.zdb"
# options|phones found (exit 1 when none)
while IFS='|' read -r options phones; do
    read -ra words <<<"$options"
    found=$("$find" mixed.zdb "${words[@]}" 2>/dev/null | cut -d';' -f1 | tr '\n' ' ')
    [ "$found" = "$phones" ] || fail "find $options: '$found', expected '$phones'"
done <<'CASES'
-n ИВАНОВ|
-i -n ИВАНОВ|0000001 0000002 
--ignore-case -n иванов -s ул|0000001 
-i -n ивАНОВА|0000002 
-i -s мира|0000003 
-i -s Ул.|0000001 
-i -s LENINA --house 1|0000002 
-i --house 12А|0000001 
-i -p 3 -n петров|0000003 
-i -p 2 -n петров|
CASES
"$find" mixed.zdb -i -n иван 2>err.txt >/dev/null
grep -qx "scanned 3, results 2" err.txt || fail "--ignore-case counts: $(cat err.txt)"
[ "$("$find" mixed.zdb mixed.zdb -i -n иван -c 2>/dev/null | tr '\n' ' ')" = "mixed.zdb;2 mixed.zdb;2 " ] ||
    fail "--ignore-case over several files"
printf '1,äpfel Straße,,,\n' | "$mkdb" build - west-kept.db --codepage 1252 --keep-case 2>/dev/null
[ "$("$find" west-kept.db --codepage 1252 -i -n ÄPFEL 2>/dev/null)" = "0000001;äpfel Straße;;;" ] ||
    fail "--ignore-case in code page 1252"

# --header: with the first match; nothing at all when nothing matches, unless --count is asked for.
expect_code 1 -- "$find" round.db mixed.zdb --header -n Ъ
[ -s out.txt ] && fail "--header with no match printed $(cat out.txt)"
[ "$("$find" round.db mixed.zdb --header -n Ъ -c --format csv 2>/dev/null | head -1)" = $'file,count\r' ] ||
    fail "--header --count with no match"
[ "$("$find" round.db mixed.zdb --header -n IVAN --format csv 2>/dev/null | tr '\n' ' ')" = $'file,phone,name,street,house,flat\r round.db,0000012,IVAN,LENINA,1,1\r ' ] ||

    fail "--header over several files"

# --- host paths are opened as they stand: a backslash is part of a name, names need not be UTF-8 ---
printf '1,RIGHT,,,\n' >right.csv
printf '2,WRONG,,,\n' >wrong.csv
mkdir a
"$mkdb" build wrong.csv a/b.db 2>/dev/null || fail "build a/b.db"
"$mkdb" build right.csv 'a\b.db' 2>/dev/null || fail "build a\\b.db"
"$mkdb" build right.csv $'\xff\xfe.zdb' 2>/dev/null || fail "build a name that is not UTF-8"
[ "$("$find" 'a\b.db' --phone '?' 2>/dev/null)" = "0000001;RIGHT;;;" ] || fail "find 'a\\b.db' read another file"
"$mkdb" dump 'a\b.db' | grep -qx $'1,RIGHT,,,\r' || fail "dump 'a\\b.db' read another file"
[ "$("$find" $'\xff\xfe.zdb' --name R 2>/dev/null)" = "0000001;RIGHT;;;" ] || fail "find on a name that is not UTF-8"
"$mkdb" dump $'\xff\xfe.zdb' | grep -qx $'1,RIGHT,,,\r' || fail "dump of a name that is not UTF-8"
"$find" $'\xff\xfe.zdb' round.db --name R --format json 2>/dev/null | head -1 | grep -q '^{"file":"\\ufffd\|^{"file":"��' ||
    fail "a file name that is not UTF-8 in json"

# --- the same query over the demo directory finds what the dump holds ---
"$mkdb" dump demo.zdb >demo.csv || fail "dump demo"
"$find" demo.zdb --name ИВАНОВ >found.txt 2>err.txt
expected=$(tail -n +2 demo.csv | grep -c '^[0-9]*,ИВАНОВ')
[ "$(wc -l <found.txt)" -eq "$expected" ] || fail "demo ИВАНОВ: $(wc -l <found.txt) found, $expected in the dump"
grep -qx "scanned 5000, results $expected" err.txt || fail "demo counts: $(cat err.txt)"

# --- several files searched at once print in the order given, lines and messages alike ---
"$mkdb" demo 40000 big.zdb --seed 5 2>/dev/null || fail "demo big.zdb"
for file in big.zdb round.db missing.zdb round.zdb big.zdb; do
    "$find" -H "$file" -n 'К' >>one-by-one.txt 2>>one-by-one-err.txt
done
expect_code 2 -- "$find" big.zdb round.db missing.zdb round.zdb big.zdb -n 'К'
cmp -s one-by-one.txt out.txt || fail "several files: the lines differ from the files searched one by one"
cmp -s one-by-one-err.txt err.txt || fail "several files: the messages differ: $(cat err.txt)"
"$find" -c big.zdb round.db big.zdb -n 'К' >counts.txt 2>/dev/null
[ "$(cut -d';' -f1 counts.txt | tr '\n' ' ')" = "big.zdb round.db big.zdb " ] || fail "counts in order: $(cat counts.txt)"

# --- one directory in three forms, the one in members read on every core: the same output ---
"$mkdb" demo 70000 forms.zdb --seed 9 2>/dev/null || fail "demo forms.zdb"
"$mkdb" demo 70000 forms-one.zdb --seed 9 --members off 2>/dev/null || fail "demo forms-one.zdb"
"$mkdb" demo 70000 forms.db --seed 9 2>/dev/null || fail "demo forms.db"
[ "$("$mkdb" info forms.zdb 2>/dev/null | grep -c 'gzip members: *4$')" = 1 ] || fail "forms.zdb is not in 4 members"
for query in "-n ИВАН" "-p 2?5 --format csv --header" "-s ЛЕН --house 1 --format json" "-n М -m 700" "-n К -c"; do
    for form in forms-one.zdb forms.db; do
        # shellcheck disable=SC2086 # the query is several words
        cmp -s <("$find" forms.zdb $query 2>&1) <("$find" $form $query 2>&1 | sed "s/$form/forms.zdb/g") ||
            fail "forms.zdb and $form differ for $query"
    done
done

finish "find end to end"
