#!/usr/bin/env bash
# Where messages go and what the exit status says: a failing run with and
# without -o, an output format that contradicts the file's extension, and a
# run interrupted with Ctrl-C (SIGINT), which must leave no output file.
set -uo pipefail
program=$(realpath "$1")
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"
cd "$work" || exit 1

printf 'x,y\n1,2\n3,5\n6,1\n' >data.csv
bad='PROXIMITIES x y /MEASURE=jacard.'

# Without -o, standard output is a file here: the error is in the document and
# on standard error, with its command and place.
"$program" --data data.csv -e "$bad" >out.txt 2>err.txt
status=$?
[[ $status -eq 1 ]] || fail "failing run: exit $status, expected 1"
grep -qx 'Error: The MEASURE specification is invalid. jacard' out.txt || fail "error not in the output"
grep -qx 'Error: The MEASURE specification is invalid. jacard' err.txt || fail "error not on stderr"
grep -qx '  (in: PROXIMITIES x y /MEASURE=jacard. at -e:1)' err.txt || fail "no command and place on stderr"
grep -q '^Note: The keywords accepted here are: EUCLID, .*JACCARD, .*ABSOLUTE\.$' err.txt ||
  fail "no list of the measure keywords after the error"

# With -o the document goes to the file and the messages still reach stderr;
# nothing goes to standard output.
"$program" --data data.csv -e "$bad" -o report.txt >out2.txt 2>err2.txt
status=$?
[[ $status -eq 1 ]] || fail "failing run with -o: exit $status, expected 1"
[[ ! -s out2.txt ]] || fail "standard output not empty with -o"
grep -qx 'Error: The MEASURE specification is invalid. jacard' report.txt || fail "error not in report.txt"
grep -qx 'Error: The MEASURE specification is invalid. jacard' err2.txt || fail "error not on stderr with -o"

# A good run says nothing on standard error.
"$program" --data data.csv -e 'PROXIMITIES x y.' -o good.txt 2>err3.txt
status=$?
[[ $status -eq 0 ]] || fail "good run: exit $status"
grep -q '^Error\|^Warning' err3.txt && fail "a good run wrote messages on stderr"

# The extension picks the format; a contradicting --format is a usage error.
"$program" --data data.csv -e 'PROXIMITIES x y.' -o r.json || fail "run to r.json failed"
head -c 12 r.json | grep -q '^{"version":1' || fail "r.json is not the JSON document"
"$program" --data data.csv -e 'PROXIMITIES x y.' -o r.html || fail "run to r.html failed"
grep -qi '<!doctype html>' r.html || fail "r.html is not an HTML page"
"$program" --format text --data data.csv -e 'PROXIMITIES x y.' -o r2.html 2>err4.txt
status=$?
[[ $status -eq 2 ]] || fail "--format text -o r2.html: exit $status, expected 2"
[[ ! -e r2.html ]] || fail "r2.html written despite the usage error"
grep -q 'contradicts' err4.txt || fail "no reason given for the usage error"

# Ctrl-C during a long command: a matrix of 5,000 cases takes seconds to
# print, and the interrupt check runs once per printed row.
awk 'BEGIN { print "a,b,c"; for (i = 0; i < 5000; i++) print i % 17 "," i % 29 "," i % 7 }' >big.csv
"$program" --data big.csv -e 'PROXIMITIES a b c.' -o interrupted.txt >out5.txt 2>err5.txt &
pid=$!
sleep 1
kill -INT "$pid"
wait "$pid"
status=$?
[[ $status -eq 130 ]] || fail "interrupted run: exit $status, expected 130"
grep -q 'interrupted' err5.txt || fail "the interruption is not reported on stderr"
[[ ! -e interrupted.txt ]] || fail "an interrupted run left interrupted.txt"
ls | grep -q '\.part' && fail "an interrupted run left a temporary file"
exit $failed
