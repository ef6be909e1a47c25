# kgf_memory at a tiny size: a row for each -j and the goal line. No
# figure is asserted.
memory=$1
kgfconv=$2
. "$(dirname "$0")/../cli/check.inc"
mkdir "$work/tmp"
TMPDIR="$work/tmp" "$memory" --files 3 --side 32 --big-side 64 "$kgfconv" >"$work/out.txt" 2>&1
check "a run exits 0" test $? -eq 0
check "three rows" test "$(grep -c '^| [128] | ' "$work/out.txt")" -eq 3
check "the goal" grep -q '^Goal: ' "$work/out.txt"
check "nothing left behind" test -z "$(ls -A "$work/tmp")"
[ "$failures" -eq 0 ] || cat "$work/out.txt"
finish
