# kgf_speed at a tiny size: every row is printed, a program that fails is
# named, and the temporary folder goes in every case. No time is asserted.
speed=$1
kgfconv=$2
. "$(dirname "$0")/../cli/check.inc"
tiny="--runs 1 --files 3 --side 32 --big-side 64"
mkdir "$work/tmp"

# shellcheck disable=SC2086
TMPDIR="$work/tmp" "$speed" $tiny "$kgfconv" >"$work/out.txt" 2>"$work/err.txt"
check "a run exits 0" test $? -eq 0
check "a kgfconv row for each work" test "$(grep -c '| kgfconv |' "$work/out.txt")" -eq 4
check "a -j 1 row for each batch" test "$(grep -c '| kgfconv -j 1 |' "$work/out.txt")" -eq 4
check "--best against the plain conversion" grep -q '| kgfconv --best -j 1 |.* × kgfconv -j 1, ≤ 2.0: ' "$work/out.txt"
check "the frame decoding figure" grep -q 'µs per frame' "$work/out.txt"
check "the machine" grep -q '^Machine: .* cores (nproc)' "$work/out.txt"
check "nothing left behind" test -z "$(ls -A "$work/tmp")"

# A kgfconv that writes nothing for TGA to TGA: the figures would be false.
cat >"$work/lazy-kgfconv" <<END
#!/bin/sh
case " \$* " in *" --bpp 24 "*) exit 0 ;; esac
exec "$kgfconv" "\$@"
END
chmod +x "$work/lazy-kgfconv"
# shellcheck disable=SC2086
TMPDIR="$work/tmp" "$speed" $tiny "$work/lazy-kgfconv" >/dev/null 2>"$work/err.txt"
check "a program that leaves no output fails the run" test $? -eq 1
check "and is named" grep -q 'kgfconv left 0 files instead of 3' "$work/err.txt"
check "nothing left behind after a failure" test -z "$(ls -A "$work/tmp")"

"$speed" --runs 0 >/dev/null 2>&1
check "a usage error exits 2" test $? -eq 2

[ "$failures" -eq 0 ] || cat "$work/err.txt"
finish
