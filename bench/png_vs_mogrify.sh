#!/bin/sh
# PNG to KGF with kgfconv at -j 1 against ImageMagick's mogrify -format tga
# (PNG to TGA, one process for all files) on the same PNG files, in one run:
# prints each time, best of the runs, and their ratio. The goal is a ratio
# of 0.5 or less; nothing asserts it.
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

# Wall-clock seconds of a command, to the millisecond.
seconds() {
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
    end=$(date +%s%N)
    echo $(((end - start) / 1000000)) | awk '{ printf "%.3f", $1 / 1000 }'
}
best() { # the smallest of the numbers given
    printf '%s\n' "$@" | sort -n | head -n 1
}

ours=""
theirs=""
run=0
while [ "$run" -lt "$runs" ]; do
    rm -rf "$work/kgf" "$work/tga"
    mkdir "$work/tga"
    ours="$ours $(seconds "$kgfconv" convert --quiet -j 1 --to kgf --levels 5 -o "$work/kgf" "$work"/png/*.png)"
    theirs="$theirs $(seconds "$mogrify" -path "$work/tga" -format tga "$work"/png/*.png)"
    run=$((run + 1))
done
# shellcheck disable=SC2086
ours=$(best $ours)
# shellcheck disable=SC2086
theirs=$(best $theirs)
[ "$(ls "$work/kgf" | wc -l)" -eq "$files" ] || { echo "kgfconv did not write every file" >&2; exit 1; }
[ "$(ls "$work/tga" | wc -l)" -eq "$files" ] || { echo "mogrify did not write every file" >&2; exit 1; }
echo "$files PNG files of ${side}x${side}, best of $runs runs:"
echo "  kgfconv convert -j 1 --to kgf --levels 5: $ours s"
echo "  mogrify -format tga:                      $theirs s"
awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "  ratio kgfconv / mogrify: %.2f (goal: 0.50 or less)\n", (b > 0 ? a / b : 0) }'
