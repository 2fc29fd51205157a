#!/usr/bin/env bash
# Hostile inputs and resource limits: each must end in a clear message and
# the right exit status, within seconds, leaving no partial or temporary
# file and any older file as it was. Limits are set with ulimit in a
# subshell; `timeout` only guards against a hang, it times nothing.
set -uo pipefail
program=$(realpath "$1")
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"
cd "$work" || exit 1
guard=(timeout --signal=KILL 300)

# No file but those the test made may be left: no -o or EXPORT temporary.
expect_no_leftovers() {
  local left
  left=$(ls -A | grep -E '\.part|\.tmp' || true)
  [[ -z $left ]] || fail "$1: left $left"
}

# expect_run NAME STATUS PATTERN: the last run's status and a line of its stderr.
expect_run() {
  [[ $status -eq $2 ]] || fail "$1: exit $status, expected $2"
  grep -q -- "$3" err.txt || { fail "$1: no \"$3\" on stderr"; head -c 600 err.txt; }
  expect_no_leftovers "$1"
}

# 1. A million columns load in seconds, whether the names are distinct or
# all the same (made unique with _2, _3, ...); one more is refused, naming
# the limit.
python3 - <<'PY'
n = 1_000_000
with open("wide.csv", "w") as f:
    f.write(",".join(f"c{k}" for k in range(n)) + "\n" + ",".join(["1"] * n) + "\n")
with open("same.csv", "w") as f:
    f.write(",".join(["x"] * n) + "\n" + ",".join(["2"] * n) + "\n")
with open("wider.csv", "w") as f:
    f.write(",".join(["v"] * (n + 1)) + "\n")
PY
"${guard[@]}" "$program" --data wide.csv -e 'PROXIMITIES c0 c999999 /VIEW=VARIABLE.' >out.txt 2>err.txt
status=$?
[[ $status -eq 0 ]] || fail "a million columns: exit $status"
grep -q '1 case of 1000000 variables' out.txt || fail "a million columns: not loaded"
"${guard[@]}" "$program" --data same.csv -e 'PROXIMITIES x x_999999 /VIEW=VARIABLE.' >out.txt 2>err.txt
status=$?
[[ $status -eq 0 ]] || fail "a million equal names: exit $status"
"${guard[@]}" "$program" --data wider.csv -e 'PROXIMITIES v.' >out.txt 2>err.txt
status=$?
expect_run "1,000,001 columns" 1 'the header has 1000001 columns; a data file may have at most 1000000'

# 2. Memory outside the workspace runs out: a message at the command, exit 1,
# no file; also with -o.
python3 - <<'PY'
with open("huge.prox", "w") as f:
    f.write("PROXIMITIES " + "a " * 40_000_000 + ".\n")
import json
labels = {str(k): f"label number {k} of a long list" for k in range(1_000_000)}
with open("labels.csv", "w") as f:
    f.write("x\n1\n2\n")
with open("labels.schema.json", "w") as f:
    json.dump({"fields": [{"name": "x", "valueLabels": labels}]}, f)
# A matrix file of a million columns (no sidecar: read as distances), whose
# dictionary alone needs more than a third of a gigabyte; and 4000 cases,
# whose 4000 x 4000 matrix kept as the working data needs more, while
# computing it needs less than half that.
n = 1_000_000
with open("wide_matrix.csv", "w") as f:
    f.write("ROWTYPE_,VARNAME_," + ",".join(f"v{k}" for k in range(1, n - 1)) + "\n")
    f.write("PROX,v1," + ",".join(["1"] * (n - 2)) + "\n")
with open("many.csv", "w") as f:
    f.write("a,b\n" + "".join(f"{k % 101},{k % 37}\n" for k in range(4000)))
PY
# AddressSanitizer and ThreadSanitizer reserve terabytes of address space at
# start, so an instrumented program cannot start under ulimit -v at all: the
# memory-limit cases run in the normal build only.
memory_limits=("" "-o report.txt")
if ldd "$program" | grep -qE "libasan|libtsan"; then
  echo "skipped under a sanitizer: the ulimit -v cases"
  memory_limits=()
fi
for output in "${memory_limits[@]}"; do
  # shellcheck disable=SC2086
  (ulimit -v 1000000 && exec "${guard[@]}" "$program" huge.prox $output) >/dev/null 2>err.txt
  status=$?
  expect_run "enormous command $output" 1 'Insufficient memory to read the commands of huge.prox'
  # (The labels fit in a gigabyte; a third of one is too little.)
  # shellcheck disable=SC2086
  (ulimit -v 300000 && exec "${guard[@]}" "$program" -e 'LOAD "labels.csv".' $output) >/dev/null 2>err.txt
  status=$?
  expect_run "a million value labels $output" 1 \
    'Insufficient memory while reading the sidecar labels.schema.json; the command LOAD was abandoned'
  if [[ -n $output ]]; then  # the document is whole, its error in it
    grep -q 'Insufficient memory while reading the sidecar' report.txt || fail "report.txt is not whole"
    rm -f report.txt
  fi
  # Reading and writing matrix files inside the procedure are steps too.
  # shellcheck disable=SC2086
  (ulimit -v 250000 && exec "${guard[@]}" "$program" \
    -e 'PROXIMITIES /MATRIX=IN("wide_matrix.csv").' $output) >/dev/null 2>err.txt
  status=$?
  expect_run "a matrix file of a million columns $output" 1 \
    'Insufficient memory while reading the matrix file wide_matrix.csv; the command PROXIMITIES was abandoned'
  # shellcheck disable=SC2086
  (ulimit -v 250000 && exec "${guard[@]}" "$program" --data many.csv \
    -e 'PROXIMITIES a b /PRINT=NONE /MATRIX=OUT(*).' $output) >/dev/null 2>err.txt
  status=$?
  expect_run "a matrix of 4000 cases as the working data $output" 1 \
    'Insufficient memory while writing the matrix to the working data; the command PROXIMITIES was abandoned'
  rm -f report.txt
done

# 3. A file-size limit is a full disk: the write error is reported, the
# temporary file removed, an older file kept as it was.
awk 'BEGIN { print "a,b"; for (i = 0; i < 300; i++) print i % 17 "," i % 29 }' >cases.csv
echo "older" >kept.txt
cp kept.txt m.csv
cp kept.txt e.csv
(ulimit -f 16 && exec "${guard[@]}" "$program" --data cases.csv -e 'PROXIMITIES a b.' -o kept.txt) \
  >/dev/null 2>err.txt
status=$?
expect_run "-o over the file-size limit" 1 'cannot write the output to kept.txt; it was not written'
[[ $(cat kept.txt) == older ]] || fail "-o over the file-size limit changed the older file"
(ulimit -f 16 && exec "${guard[@]}" "$program" --data cases.csv \
  -e 'PROXIMITIES a b /MATRIX=OUT("m.csv").') >/dev/null 2>err.txt
status=$?
expect_run "MATRIX=OUT over the file-size limit" 1 'Cannot write m.csv: File too large'
[[ $(cat m.csv) == older ]] || fail "MATRIX=OUT over the file-size limit changed the older file"
awk 'BEGIN { print "a,b"; for (i = 0; i < 5000; i++) print i % 17 "," i % 29 }' >more.csv
cp kept.txt e.csv
(ulimit -f 16 && exec "${guard[@]}" "$program" --data more.csv -e 'EXPORT "e.csv".') >/dev/null 2>err.txt
status=$?
expect_run "EXPORT over the file-size limit" 1 'Cannot write e.csv: File too large'
[[ $(cat e.csv) == older ]] || fail "EXPORT over the file-size limit changed the older file"

# 4. A workspace limit above the machine's memory: the triangle of a million
# cases is refused before it is filled, with both figures.
# ThreadSanitizer's own mappings leave no room to reserve 8 TB, so there
# the limit shrinks to what can be reserved and the note gives that instead.
if ldd "$program" | grep -q libtsan; then
  echo "skipped under ThreadSanitizer: --workspace 8T"
else
  awk 'BEGIN { print "x"; for (i = 0; i < 1000000; i++) print i % 97 }' >million.csv
  "${guard[@]}" "$program" --workspace 8T --data million.csv -e 'PROXIMITIES x /VIEW=CASE.' \
    -o big.txt >/dev/null 2>err.txt
  status=$?
  expect_run "--workspace 8T" 1 'Insufficient memory for Proximities'
  grep -q 'this machine can give at most [0-9]* bytes.*below the workspace limit of 8796093022208 bytes' err.txt ||
    fail "--workspace 8T: no note with the machine's memory and the limit"
fi

# 5. The first offending byte in the file names the error: a bad quote
# before a NUL on the same line, after a record that spans lines.
printf 'a,b\n"x\ny",1\n3,x"y\0\n' >bad.csv
"${guard[@]}" "$program" --data bad.csv -e 'PROXIMITIES a.' >/dev/null 2>err.txt
status=$?
expect_run "bad quoting before a NUL" 1 'bad.csv, line 4: bad quoting'
"${guard[@]}" "$program" --data - -e 'PROXIMITIES a.' <bad.csv >/dev/null 2>err.txt
status=$?
expect_run "bad quoting before a NUL, from a pipe" 1 'standard input, line 4: bad quoting'

# 6. SIGTERM and SIGHUP stop the run as Ctrl-C does: 128 + the signal, no
# output file, no temporary file.
awk 'BEGIN { print "a,b,c"; for (i = 0; i < 5000; i++) print i % 17 "," i % 29 "," i % 7 }' >long.csv
for signal in TERM HUP; do
  "$program" --data long.csv -e 'PROXIMITIES a b c.' -o stopped.txt >/dev/null 2>err.txt &
  pid=$!
  sleep 1
  kill -s "$signal" "$pid"
  wait "$pid"
  status=$?
  expected=$((128 + $(kill -l "$signal")))
  expect_run "SIG$signal" "$expected" 'the run was interrupted; stopped.txt was not written'
  [[ ! -e stopped.txt ]] || fail "SIG$signal left stopped.txt"
done
exit $failed
