#!/usr/bin/env bash
# Runs one end-to-end case: the program on NAME.prox (from the repository
# root, with the extra arguments of NAME.args if present), its text output
# compared with NAME.expected, its exit status with NAME.status (0 when
# absent), and, when NAME.expected.json exists, its JSON output with that
# file, and standard error with NAME.stderr when that exists. With UPDATE=1 the expected files are rewritten from
# the actual output instead (review the diff before committing).
set -uo pipefail
program=$(realpath "$1")
# Messages name the command file as given; run from the root with a relative
# name so that the expected output does not depend on where the tree lives.
cd "$(dirname "$0")/../.." || exit 1
case_file=$(realpath --relative-to=. "$2")
base=${case_file%.prox}
want_status=0
[[ -f $base.status ]] && want_status=$(<"$base.status")
extra_args=()
[[ -f $base.args ]] && read -r -a extra_args <"$base.args"

actual=$(mktemp)
errors=$(mktemp)
trap 'rm -f "$actual" "$errors"' EXIT
failed=0

check() {  # format expected-file
  "$program" "${extra_args[@]}" --format "$1" "$case_file" >"$actual" 2>"$errors"
  local status=$?
  if [[ ${UPDATE:-0} == 1 ]]; then
    cp "$actual" "$2"
    [[ $1 == text && -s $errors ]] && cp "$errors" "$base.stderr"
    return
  fi
  # Standard output is not a terminal here, so every error and warning must
  # also be on standard error, with its command and place.
  if [[ $1 == text && -f $base.stderr ]] && ! diff -u "$base.stderr" "$errors"; then
    echo "standard error differs from $base.stderr"
    failed=1
  fi
  if [[ $status -ne $want_status ]]; then
    echo "exit status $status, expected $want_status ($1 output)"
    failed=1
  fi
  if ! diff -u "$2" "$actual"; then
    echo "output differs from $2"
    failed=1
  fi
}

check text "$base.expected"
[[ -f $base.expected.json ]] && check json "$base.expected.json"
exit $failed
