#!/bin/sh
# PNG to KGF with kgfconv at -j 1 against ImageMagick's mogrify -format tga
# (PNG to TGA, one process for all files) on the same PNG files, in one run:
# prints each time, wall clock and processor, best of the runs, and their
# ratios. The goal is a ratio of 0.5 or less; nothing asserts it.
# Usage: png_vs_mogrify.sh KGFCONV [FILES [SIDE [RUNS]]]
# (defaults: 200 files of 256 x 256, 3 runs)
kgfconv=$1
files=${2:-200}
side=${3:-256}
runs=${4:-3}
mogrify=$(command -v mogrify-im6.q16 || command -v mogrify)
convert=$(command -v convert-im6.q16 || command -v convert)
[ -x "$kgfconv" ] && [ -n "$mogrify" ] && [ -n "$convert" ] || {
    echo "usage: png_vs_mogrify.sh KGFCONV [FILES [SIDE [RUNS]]] (needs ImageMagick)" >&2
    exit 2
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/png" "$work/config"
export XDG_CONFIG_HOME="$work/config"

# Textures as they come: ten noisy pictures with alpha, each saved by
# ImageMagick as RGBA PNG, copied to the count.
for seed in 0 1 2 3 4 5 6 7 8 9; do
    "$convert" -size "${side}x${side}" -seed "$seed" plasma:fractal -alpha set -channel A \
        -fx 'i/w' +channel -depth 8 "$work/picture$seed.png" || exit 1
done
i=0
while [ "$i" -lt "$files" ]; do
    cp "$work/picture$((i % 10)).png" "$work/png/$(printf 'texture%04d' "$i").png"
    i=$((i + 1))
done

# The wall-clock and processor (user + system) seconds of a command, as
# "wall cpu": on a busy machine the processor time is the steadier figure.
timed() {
    /usr/bin/time -f '%e %U %S' -o "$work/time.txt" "$@" >/dev/null 2>&1 ||
        { echo "failed: $*" >&2; exit 1; }
    awk '{ printf "%.3f %.3f", $1, $2 + $3 }' "$work/time.txt"
}
best() { # field of the smallest of the "wall cpu" pairs given on standard input
    sort -n -k "$1" | head -n 1 | cut -d ' ' -f "$1"
}

: >"$work/ours.txt"
: >"$work/theirs.txt"
run=0
while [ "$run" -lt "$runs" ]; do
    rm -rf "$work/kgf" "$work/tga"
    mkdir "$work/tga"
    timed "$kgfconv" convert --quiet -j 1 --to kgf --levels 5 -o "$work/kgf" "$work"/png/*.png >>"$work/ours.txt"
    echo >>"$work/ours.txt"
    timed "$mogrify" -path "$work/tga" -format tga "$work"/png/*.png >>"$work/theirs.txt"
    echo >>"$work/theirs.txt"
    run=$((run + 1))
done
[ "$(ls "$work/kgf" | wc -l)" -eq "$files" ] || { echo "kgfconv did not write every file" >&2; exit 1; }
[ "$(ls "$work/tga" | wc -l)" -eq "$files" ] || { echo "mogrify did not write every file" >&2; exit 1; }
ours=$(best 1 <"$work/ours.txt")
theirs=$(best 1 <"$work/theirs.txt")
ours_cpu=$(best 2 <"$work/ours.txt")
theirs_cpu=$(best 2 <"$work/theirs.txt")
echo "$files PNG files of ${side}x${side}, best of $runs runs (wall clock; processor):"
echo "  kgfconv convert -j 1 --to kgf --levels 5: $ours s; $ours_cpu s"
echo "  mogrify -format tga:                      $theirs s; $theirs_cpu s"
awk -v a="$ours_cpu" -v b="$theirs_cpu" 'BEGIN { printf "  processor ratio kgfconv / mogrify: %.2f\n", (b > 0 ? a / b : 0) }'
awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "  ratio kgfconv / mogrify: %.2f (goal: 0.50 or less)\n", (b > 0 ? a / b : 0) }'
