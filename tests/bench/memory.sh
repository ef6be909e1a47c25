# kgf_memory at a tiny size: a row for each -j and the goal line. No
# figure is asserted.
memory=$1
kgfconv=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/tmp"
TMPDIR="$work/tmp" "$memory" --files 3 --side 32 --big-side 64 "$kgfconv" >"$work/out.txt" 2>&1 || {
    cat "$work/out.txt"
    echo "FAILED: a run exits 0"
    exit 1
}
if [ "$(grep -c '^| [128] | ' "$work/out.txt")" -ne 3 ] || ! grep -q '^Goal: ' "$work/out.txt" ||
    [ -n "$(ls -A "$work/tmp")" ]; then
    cat "$work/out.txt"
    echo "FAILED: three rows, the goal, nothing left behind"
    exit 1
fi
echo "all checks passed"
