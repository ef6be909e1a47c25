#!/bin/sh
# Thumbnails as file managers make them, one process per file: kgfconv
# thumbnail -s 128 on KGF textures against ImageMagick's convert x.tga
# -thumbnail 128x128 x.png on the same pictures as TGA, in one run. Prints
# each loop's wall-clock and processor seconds, per file, and their ratios.
# The goal is a ratio of 0.5 or less; nothing asserts it.
# Usage: thumbnail_vs_convert.sh KGFCONV [FILES [SIDE]]  (defaults: 1000 files of 256 x 256)
kgfconv=$1
files=${2:-1000}
side=${3:-256}
convert=$(command -v convert-im6.q16 || command -v convert)
[ -x "$kgfconv" ] && [ -n "$convert" ] || {
    echo "usage: thumbnail_vs_convert.sh KGFCONV [FILES [SIDE]] (needs ImageMagick)" >&2
    exit 2
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/pictures" "$work/kgf" "$work/tga" "$work/ours" "$work/theirs" "$work/config"
export XDG_CONFIG_HOME="$work/config"

# Ten noisy pictures with alpha, as KGF (five levels) and as 32-bit TGA,
# copied to the count.
for seed in 0 1 2 3 4 5 6 7 8 9; do
    "$convert" -size "${side}x${side}" -seed "$seed" plasma:fractal -alpha set -channel A \
        -fx 'i/w' +channel -depth 8 "$work/pictures/picture$seed.png" || exit 1
done
"$kgfconv" convert --quiet --to kgf --levels 5 -o "$work/pictures" "$work"/pictures/*.png &&
    "$kgfconv" convert --quiet --to tga --bpp 32 -o "$work/pictures" "$work"/pictures/*.png || exit 1
i=0
while [ "$i" -lt "$files" ]; do
    name=$(printf 'texture%04d' "$i")
    cp "$work/pictures/picture$((i % 10)).kgf" "$work/kgf/$name.kgf"
    cp "$work/pictures/picture$((i % 10)).tga" "$work/tga/$name.tga"
    i=$((i + 1))
done

# The wall-clock and processor (user + system, children included) seconds
# of a loop, as "wall cpu".
timed() {
    /usr/bin/time -f '%e %U %S' -o "$work/time.txt" sh -c "$1" >/dev/null 2>&1 ||
        { echo "failed: $1" >&2; exit 1; }
    awk '{ printf "%.3f %.3f", $1, $2 + $3 }' "$work/time.txt"
}
ours=$(timed "for f in '$work'/kgf/*.kgf; do n=\${f##*/}; '$kgfconv' thumbnail -s 128 \"\$f\" '$work'/ours/\${n%.kgf}.png || exit 1; done")
theirs=$(timed "for f in '$work'/tga/*.tga; do n=\${f##*/}; '$convert' \"\$f\" -thumbnail 128x128 '$work'/theirs/\${n%.tga}.png || exit 1; done")
[ "$(ls "$work/ours" | wc -l)" -eq "$files" ] || { echo "kgfconv did not write every file" >&2; exit 1; }
[ "$(ls "$work/theirs" | wc -l)" -eq "$files" ] || { echo "convert did not write every file" >&2; exit 1; }
echo "$files textures of ${side}x${side}, one process per file (wall clock; processor; per file):"
echo "$ours" | awk -v n="$files" '{ printf "  kgfconv thumbnail -s 128:          %s s; %s s; %.2f ms\n", $1, $2, 1000 * $1 / n }'
echo "$theirs" | awk -v n="$files" '{ printf "  convert x.tga -thumbnail 128x128: %s s; %s s; %.2f ms\n", $1, $2, 1000 * $1 / n }'
echo "$ours $theirs" | awk '{ printf "  processor ratio kgfconv / convert: %.2f\n", ($4 > 0 ? $2 / $4 : 0) }'
echo "$ours $theirs" | awk '{ printf "  ratio kgfconv / convert: %.2f (goal: 0.50 or less)\n", ($3 > 0 ? $1 / $3 : 0) }'
