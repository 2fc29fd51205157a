#!/usr/bin/env bash
# Makes the Debian package from the build with CPack, into a temporary folder,
# and checks what it holds and what it declares: the program, both libraries,
# the manual page, the docs and examples under /usr, and dependencies on the
# runtime libraries the binaries link (found by dpkg-shlibdeps).
# Usage: package.sh CPACK BUILD_DIR
set -uo pipefail
cpack=$1
build=$(realpath "$2")
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"

"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; echo "FAIL: cpack"; exit 1; }
deb=$(ls "$work"/proximities_*.deb 2>/dev/null | head -1)
[[ -n $deb ]] || { cat "$work/cpack.log"; echo "FAIL: no .deb made"; exit 1; }

dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/files.txt"
for file in /usr/bin/proximities /usr/lib/libprox.so /usr/lib/libtavixw.so \
  /usr/share/man/man1/proximities.1 /usr/share/doc/proximities/README.md \
  /usr/share/doc/proximities/docs/proximities.md \
  /usr/share/doc/proximities/examples/cars_distances.prox \
  /usr/share/doc/proximities/examples/data/cars.csv; do
  grep -qx "$file" "$work/files.txt" || fail "$file not in the package"
done
# The sanitizer build does not build the Python package.
if [[ -f "$build/python/proximities/__init__.py" ]]; then
  grep -q '/proximities/__init__.py$' "$work/files.txt" || fail "the Python package is not in it"
fi
grep -Eq '^/usr/(local|src)|/build' "$work/files.txt" && fail "files outside /usr or from the build tree"

[[ $(dpkg-deb -f "$deb" Package) == proximities ]] || fail "package name"
depends=$(dpkg-deb -f "$deb" Depends)
names=$(tr ',' '\n' <<<"$depends" | awk '{ print $1 }')
for library in libc6 libstdc++6 libfmt9 libcsv3; do
  grep -qxF "$library" <<<"$names" || fail "Depends lacks $library: $depends"
done
grep -q python3-pandas <<<"$(dpkg-deb -f "$deb" Recommends)" || fail "Recommends lacks pandas"
exit $failed
