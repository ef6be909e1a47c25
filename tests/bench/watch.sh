# kgf_watch at a tiny size: the latency table, the memory line and their
# goals. No figure is asserted.
watch=$1
kgfconv=$2
. "$(dirname "$0")/../cli/check.inc"
mkdir "$work/tmp"
TMPDIR="$work/tmp" "$watch" --saves 3 --side 16 --memory-saves 20 "$kgfconv" >"$work/out.txt" 2>&1
check "a run exits 0" test $? -eq 0
check "two rows" test "$(grep -c '^| [0-9]* | [0-9.]* | ' "$work/out.txt")" -eq 2
check "two goals" test "$(grep -c '^Goal: ' "$work/out.txt")" -eq 2
check "the memory line" grep -q '^Memory of the watcher: ' "$work/out.txt"
check "nothing left behind" test -z "$(ls -A "$work/tmp")"
[ "$failures" -eq 0 ] || cat "$work/out.txt"
finish
