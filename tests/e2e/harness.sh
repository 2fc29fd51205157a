# What the end-to-end shell tests share, sourced by each: a scratch folder
# removed at exit, and fail(), which records a failure and goes on so that
# one run reports every check that failed.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }
