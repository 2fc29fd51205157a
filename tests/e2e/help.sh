#!/usr/bin/env bash
# The help, the version and -e: --help shows the usage, every option, the
# commands and the measures on standard output and exits 0; each -e takes
# exactly one command text, so a FILE after it stays a FILE. The manual page
# (MANPAGE) must name the version the program reports.
# Usage: help.sh PROGRAM MANPAGE
set -uo pipefail
program=$(realpath "$1")
manpage=$(realpath "$2")
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"
cd "$work" || exit 1

"$program" --help >help.txt 2>err.txt
status=$?
[[ $status -eq 0 ]] || fail "--help: exit $status"
[[ -s err.txt ]] && fail "--help wrote on standard error"
for text in 'Usage:' '-e,--execute' '--data' '--separator' '--decimal' '--missing' '--format' \
  '-o,--output' '--timing' '--workspace' '--version' 'Commands' 'Measures' 'man proximities'; do
  grep -qF -- "$text" help.txt || fail "--help does not mention $text"
done
grep -q 'docs/' help.txt && fail "--help points at a path of the source tree"
lines=$(wc -l <help.txt)
((lines <= 110)) || fail "--help is $lines lines, more than two screens"
width=$(awk '{ if (length > w) w = length } END { print w }' help.txt)
((width <= 80)) || fail "--help has lines of $width columns"

version=$("$program" --version)
[[ $version =~ ^proximities\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "--version printed '$version'"
grep -q "^\.TH PROXIMITIES 1 .* \"$version\"" "$manpage" ||
  fail "the manual page's heading does not name $version"

printf 'x,y\n1,2\n3,5\n6,1\n' >data.csv
printf 'LOAD "data.csv".\nPROXIMITIES x y /VIEW=VARIABLE.\n' >first.prox

# -e before a FILE: the file still runs (first), then the -e text.
"$program" -e 'PROXIMITIES x y /VIEW=VARIABLE /MEASURE=BLOCK.' first.prox >out.txt 2>err.txt
status=$?
[[ $status -eq 0 ]] || { cat err.txt; fail "-e TEXT FILE: exit $status"; }
grep -q 'Euclidean Distance' out.txt || fail "-e TEXT FILE did not run FILE"
grep -q 'City Block Distance' out.txt || fail "-e TEXT FILE did not run TEXT"
grep -q 'Unknown command' out.txt && fail "-e TEXT FILE took FILE for a command"

# Repeated -e: each runs, in order.
"$program" --data data.csv -e 'PROXIMITIES x y /VIEW=VARIABLE /MEASURE=COSINE.' \
  -e 'PROXIMITIES x y /VIEW=VARIABLE /MEASURE=CHEBYCHEV.' >out2.txt 2>err2.txt
status=$?
[[ $status -eq 0 ]] || { cat err2.txt; fail "two -e: exit $status"; }
cosine=$(grep -n 'Cosine of Vectors' out2.txt | head -1 | cut -d: -f1)
chebychev=$(grep -n 'Chebychev Distance' out2.txt | head -1 | cut -d: -f1)
[[ -n $cosine && -n $chebychev && $cosine -lt $chebychev ]] || fail "two -e did not both run, in order"

# -e without its text is a usage error.
"$program" -e >/dev/null 2>err3.txt
status=$?
[[ $status -eq 2 ]] || fail "-e without a text: exit $status, expected 2"
[[ -s err3.txt ]] || fail "-e without a text: no message"
exit $failed
