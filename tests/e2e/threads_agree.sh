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
expected_line=$(/usr/bin/python3 -c "
t = open('bad.csv').read()
print(t[:t.index('late,1,2,3')].count(chr(10)) + 1)")
grep -q "bad.csv, line $expected_line: " baderr1.txt ||
  fail "the bad row is not named as line $expected_line: $(head -5 baderr1.txt)"

/usr/bin/python3 - <<'PY' || fail "the matrix differs from SciPy's"
import csv
import numpy as np
from scipy.spatial.distance import pdist, squareform
rows = list(csv.reader(open("data.csv", newline="")))[1:]
x = np.array([[float(v) if v else np.nan for v in r[1:]] for r in rows])
x = x[~np.isnan(x).any(axis=1)]
want = squareform(pdist(x))
got = np.array([[float(v) for v in r[1:]] for r in list(csv.reader(open("dist4.csv")))[1:]])
assert got.shape == want.shape, (got.shape, want.shape)
assert np.allclose(got, want, rtol=1e-13, atol=1e-9), abs(got - want).max()
PY
exit $failed
