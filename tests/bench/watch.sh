# kgf_watch at a tiny size: the latency table, the memory line and their
# goals. No figure is asserted.
watch=$1
kgfconv=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/tmp"
TMPDIR="$work/tmp" "$watch" --saves 3 --side 16 --memory-saves 20 "$kgfconv" >"$work/out.txt" 2>&1 || {
    cat "$work/out.txt"
    echo "FAILED: a run exits 0"
    exit 1
}
if [ "$(grep -c '^| [0-9]* | [0-9.]* | ' "$work/out.txt")" -ne 2 ] ||
    [ "$(grep -c '^Goal: ' "$work/out.txt")" -ne 2 ] || ! grep -q '^Memory of the watcher: ' "$work/out.txt" ||
    [ -n "$(ls -A "$work/tmp")" ]; then
    cat "$work/out.txt"
    echo "FAILED: two rows, the memory line, two goals, nothing left behind"
    exit 1
fi
echo "all checks passed"
