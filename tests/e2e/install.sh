#!/usr/bin/env bash
# Installs the build into a fresh prefix and runs it from there as a user
# would: a clean environment (no LD_LIBRARY_PATH, no PROXIMITIES_LIBRARY, no
# build tree on any path), the examples as installed, the manual page, and the
# Python package on PYTHONPATH alone.
# Usage: install.sh CMAKE BUILD_DIR [PYTHON]
set -uo pipefail
cmake=$1
build=$(realpath "$2")
python=${3:-}
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"

prefix=$work/prefix
"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
  { cat "$work/install.log"; echo "FAIL: cmake --install"; exit 1; }

for file in bin/proximities lib/libprox.so lib/libtavixw.so share/man/man1/proximities.1 \
  share/doc/proximities/README.md share/doc/proximities/docs/command-language.md \
  share/doc/proximities/examples/arrests_correlations.prox \
  share/doc/proximities/examples/data/arrests.csv; do
  [[ -f $prefix/$file ]] || fail "$file not installed"
done
[[ -d $prefix/share/doc/proximities/examples/out ]] || fail "examples/out not installed"

# The program must find its libraries by where it is, not where it was built.
runpath=$(readelf -d "$prefix/bin/proximities" | grep -E 'R(UN)?PATH')
[[ $runpath == *'[$ORIGIN/../lib]'* ]] || fail "program's run path is not \$ORIGIN/../lib: $runpath"
grep -q "$build" <<<"$runpath" && fail "program's run path names the build tree"
engine=$(env -i PATH=/usr/bin:/bin ldd "$prefix/bin/proximities" | awk '/libtavixw/ { print $3 }')
[[ -n $engine && $(realpath "$engine") == "$(realpath "$prefix/lib/libtavixw.so")" ]] ||
  fail "the installed program loads the engine library from '$engine'"

# An example from a copy of the installed examples (they write into examples/out).
cp -r "$prefix/share/doc/proximities/examples" "$work/examples"
cd "$work" || exit 1
env -i PATH=/usr/bin:/bin HOME="$work" "$prefix/bin/proximities" examples/arrests_correlations.prox \
  >out.txt 2>err.txt
status=$?
[[ $status -eq 0 ]] || { cat err.txt; fail "installed program: exit $status"; }
diff -u examples/arrests_correlations.expected out.txt || fail "installed program's output differs"
env -i PATH=/usr/bin:/bin "$prefix/bin/proximities" examples/cars_matrix_file.prox >/dev/null 2>&1 ||
  fail "the example that writes a matrix file failed"
[[ -s examples/out/cars_distances.csv ]] || fail "no matrix file written under examples/out"

# The manual page as man shows it.
if command -v man >/dev/null; then
  MANWIDTH=80 env -i PATH=/usr/bin:/bin MANPATH="$prefix/share/man" man proximities 2>&1 |
    grep -q 'MEASURES' || fail "man proximities does not show the installed page"
fi

# The Python package from the prefix alone.
if [[ -n $python ]]; then
  packages=$(find "$prefix/lib" -type d -name proximities -path '*-packages/*' | head -1)
  if [[ -z $packages ]]; then
    fail "Python package not installed"
  else
    env -i PATH=/usr/bin:/bin PYTHONPATH="$(dirname "$packages")" "$python" -c '
import numpy as np, proximities
m = proximities.matrix(np.array([[0.0, 0.0], [3.0, 4.0]]), "EUCLID")
assert abs(float(np.asarray(m)[0, 1]) - 5.0) < 1e-12, m
print(proximities.__file__)' >py.txt 2>&1 || { cat py.txt; fail "installed Python package"; }
    grep -q "^$prefix/" py.txt || fail "Python imported the package from elsewhere: $(cat py.txt)"
  fi
fi
exit $failed
