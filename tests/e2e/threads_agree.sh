#!/usr/bin/env bash
# The engine may read data files and write output on several threads; the
# procedure must see the same cases in the same order whatever their number.
# Runs the same jobs with --threads 1 and --threads 4 and compares every byte
# of the documents, the messages and the matrix files, and checks the matrix
# against SciPy computed straight from the CSV.
set -uo pipefail
program=$(realpath "$1")
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"
cd "$work" || exit 1

# The line of FILE on which the row "late,1,2,3" starts, counted by Python.
line_of_late_row() {
  /usr/bin/python3 -c "
import sys
t = open(sys.argv[1]).read()
print(t[:t.index('late,1,2,3')].count(chr(10)) + 1)" "$1"
}

# Checks the labelled square matrix RESULT (--format csv) against NumPy's,
# computed from the complete rows of DATA: KIND is distances (between the
# cases) or correlations (between the variables).
expect_numpy_matrix() {
  /usr/bin/python3 - "$@" <<'PY'
import csv, sys
import numpy as np
from scipy.spatial.distance import pdist, squareform
data, result, kind = sys.argv[1:4]
rows = list(csv.reader(open(data, newline="")))[1:]
x = np.array([[float(v) if v else np.nan for v in r[1:]] for r in rows])
x = x[~np.isnan(x).any(axis=1)]
want = squareform(pdist(x)) if kind == "distances" else np.corrcoef(x, rowvar=False)
got = np.array([[float(v) for v in r[1:]] for r in list(csv.reader(open(result)))[1:]])
assert got.shape == want.shape, (got.shape, want.shape)
assert np.allclose(got, want, rtol=1e-12, atol=1e-9), abs(got - want).max()
PY
}

# 800 rows with 17-digit values, blanks, and quoted ids that span lines.
/usr/bin/python3 - <<'PY' || fail "could not write the data"
import random
random.seed(7)
with open("data.csv", "w") as f:
    f.write("id,a,b,c,d\n")
    for i in range(800):
        name = f'"case\n{i}"' if i % 97 == 0 else f"c{i}"
        row = [repr(random.uniform(-1e3, 1e3)) for _ in range(4)]
        if i % 53 == 0:
            row[i % 4] = ""
        f.write(name + "," + ",".join(row) + "\n")
PY
# The same with a row short of a field far into the file.
/usr/bin/python3 -c "
lines = open('data.csv').read().split('\n')
lines[700] = 'late,1,2,3'
open('bad.csv', 'w').write('\n'.join(lines))
"
# 60,000 rows (5 MB): LOAD cuts them into pieces parsed at once, cut
# between records (never inside the quoted ids), with the line numbers of
# the whole file in its messages.
/usr/bin/python3 - <<'PY' || fail "could not write the large data"
import random
random.seed(8)
rows = []
for i in range(60000):
    name = f'"case\n{i}"' if i % 97 == 0 else f"c{i}"
    row = [repr(random.uniform(-1e3, 1e3)) for _ in range(4)]
    if i % 53 == 0:
        row[i % 4] = ""
    rows.append(name + "," + ",".join(row))
open("big.csv", "w").write("id,a,b,c,d\n" + "\n".join(rows) + "\n")
rows[50000] = "late,1,2,3"
open("bigbad.csv", "w").write("id,a,b,c,d\n" + "\n".join(rows) + "\n")
PY
for n in 1 4; do
  "$program" --threads "$n" --data big.csv --format csv \
    -e 'PROXIMITIES a b c d /VIEW=VARIABLE /MEASURE=CORRELATION.' -o "bigcorr$n.csv" \
    2>"bigerr$n.txt"
  echo "status $?" >>"bigerr$n.txt"
  "$program" --threads "$n" --data bigbad.csv -e 'PROXIMITIES a b /VIEW=VARIABLE.' \
    2>"bigbad$n.txt" >/dev/null
  "$program" --threads "$n" -e 'LOAD "big.csv".' >"bigload$n.txt" 2>&1
done
cmp -s bigcorr1.csv bigcorr4.csv || fail "the large file's matrix differs between 1 and 4 threads"
cmp -s bigerr1.txt bigerr4.txt || fail "the large file's messages differ between 1 and 4 threads"
cmp -s bigbad1.txt bigbad4.txt || fail "the large bad file's messages differ between 1 and 4 threads"
cmp -s bigload1.txt bigload4.txt || fail "the large file's notes differ between 1 and 4 threads"
grep -q 'status 0' bigerr1.txt || fail "the large file's run failed: $(cat bigerr1.txt)"
grep -q "60000 cases" bigload1.txt || fail "the large file did not load whole: $(cat bigload1.txt)"
big_line=$(line_of_late_row bigbad.csv)
grep -q "bigbad.csv, line $big_line: the row has 4 fields" bigbad1.txt ||
  fail "the large file's bad row is not named as line $big_line: $(head -3 bigbad1.txt)"
expect_numpy_matrix big.csv bigcorr4.csv correlations ||
  fail "the large file's correlations differ from NumPy's"

commands='PROXIMITIES a b c d /ID=id /MEASURE=EUCLID /PRINT=NONE.
PROXIMITIES a b c d /VIEW=VARIABLE /MEASURE=CORRELATION.
PROXIMITIES a b c d /VIEW=VARIABLE /MEASURE=SEUCLID /PRINT=NONE.'

for n in 1 4; do
  "$program" --threads "$n" --data data.csv -e "$commands" -o "out$n.txt" 2>"err$n.txt"
  echo "status $?" >>"err$n.txt"
  "$program" --threads "$n" --data data.csv -e 'PROXIMITIES a b c d /MEASURE=EUCLID.' \
    -o "dist$n.csv" 2>>"err$n.txt"
  "$program" --threads "$n" --data bad.csv -e "$commands" -o "bad$n.txt" 2>"baderr$n.txt"
  echo "status $?" >>"baderr$n.txt"
done
for f in out err dist bad baderr; do
  ext=txt
  [[ $f == dist ]] && ext=csv
  cmp -s "${f}1.$ext" "${f}4.$ext" || fail "$f.$ext differs between 1 and 4 threads"
done
grep -q 'status 0' err1.txt || fail "the good run failed: $(cat err1.txt)"
grep -q 'status [12]' baderr1.txt || fail "the bad file was not refused"
# The bad row is record 701 plus the header and the lines the quoted ids add.
expected_line=$(line_of_late_row bad.csv)
grep -q "bad.csv, line $expected_line: " baderr1.txt ||
  fail "the bad row is not named as line $expected_line: $(head -5 baderr1.txt)"
expect_numpy_matrix data.csv dist4.csv distances || fail "the matrix differs from SciPy's"
exit $failed
