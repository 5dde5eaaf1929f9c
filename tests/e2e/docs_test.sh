#!/bin/bash
# The documents a newcomer reads: every decision has its own heading and a link from the contents, and
# every link of the contents leads to a heading.
source "$(dirname "$0")/support.sh" "$@"
decisions="$source_folder/docs/decisions.md"
# GitHub's anchors: lower case, punctuation dropped, blanks as hyphens.
anchors=$(grep -E '^#{2,3} ' "$decisions" | grep -v '^## Contents$' | sed -E 's/^#+ //' |
    python3 -c 'import re,sys; [print(re.sub(r"[^\w\- ]","",l.strip().lower()).replace(" ","-")) for l in sys.stdin]')
links=$(sed -n '/^## Contents$/,/^## [^C]/p' "$decisions" | grep -oE '\]\(#[^)]+\)' | sed -E 's/^\]\(#//; s/\)$//')
[ -n "$links" ] || fail "decisions.md has no contents"
for anchor in $anchors; do
    grep -qxF -- "$anchor" <<<"$links" || fail "decisions.md: no link from the contents to #$anchor"
done
for link in $links; do
    grep -qxF -- "$link" <<<"$anchors" || fail "decisions.md: the contents link #$link leads nowhere"
done
grep -qE '^- \*\*' "$decisions" && fail "decisions.md: a decision without a heading: $(grep -m1 -E '^- \*\*' "$decisions")"
finish "documents"
