# kgfconv and PNG files: every conversion in and out, info, -r, pack frames,
# the refusals, and the pinned outputs of the PNG corpus, which the Windows
# kgfconv.exe must give byte for byte as well (tests/cli-windows).
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/common.inc"
. "$here/corpus.inc"
export XDG_CONFIG_HOME="$work/config"
pngcheck=$(command -v pngcheck)
all_pass_pngcheck() { # folder
    [ -z "$pngcheck" ] && return 0
    for file in "$1"/*.png; do "$pngcheck" -q "$file" >/dev/null || return 1; done
}

"$kgfconv" convert --quiet --to png --bpp 24 --first-level -o out24 stone.kgf wall.tga glass.tga 2>err.txt
check "KGF and TGA to PNG" test "$(ls out24 | xargs)" = "glass.png stone.png wall.png"
check "no messages" test ! -s err.txt
check "written PNG files pass pngcheck" all_pass_pngcheck out24
"$kgfconv" convert --quiet --to PNG --bpp 32 --all-levels --suffix _L -o levels stone.kgf
check "a PNG per level, with the suffix" \
    test "$(ls levels | xargs)" = "stone_L1.png stone_L2.png stone_L3.png stone_L4.png stone_L5.png"
check "level files pass pngcheck" all_pass_pngcheck levels

# PNG to KGF gives the bytes TGA to KGF gives.
"$kgfconv" convert --quiet --to png --bpp 32 -o png wall.tga glass.tga
"$kgfconv" convert --quiet --to kgf --levels 5 -o from-png png/wall.png png/glass.png
"$kgfconv" convert --quiet --to kgf --levels 5 -o from-tga wall.tga glass.tga
check "PNG to KGF is TGA to KGF (24-bit picture, an opaque PNG)" cmp -s from-png/wall.kgf from-tga/wall.kgf
check "PNG to KGF is TGA to KGF (32-bit picture)" cmp -s from-png/glass.kgf from-tga/glass.kgf
cp png/wall.png picture.img
"$kgfconv" convert --quiet --to tga --from png -o forced picture.img
check "--from png takes another ending, the name keeping its own" test -f forced/picture.img.tga

"$kgfconv" info png/glass.png >out.txt 2>err.txt
printf 'png/glass.png\n  Type: PNG\n  Resolution: 32x32\n  Color depth: 32\n  Mipmaps: 1\n  Frames: 1\n' >expected.txt
check "info describes a PNG" cmp -s out.txt expected.txt
"$kgfconv" info out24/wall.png | grep -q "Color depth: 24"
check "info gives a PNG's own depth" test $? -eq 0
"$kgfconv" info --json png/wall.png >out.json
check "info --json gives the type PNG" grep -q '"type": "PNG"' out.json

mkdir -p tree/sub
cp png/glass.png tree/sub/
cp wall.tga tree/
"$kgfconv" convert -r --quiet --to kgf -o mirrored tree
check "-r takes PNG files" test -f mirrored/sub/glass.kgf -a -f mirrored/wall.kgf

# An animation's frames as PNG files pack into the animation their TGA
# files give.
"$kgfconv" convert --quiet --to png -o png-frames flame.kaf
"$kgfconv" convert --quiet --to tga -o tga-frames flame.kaf
check "KAF to PNG: a PNG per frame" \
    test "$(ls png-frames | xargs)" = "flame1.png flame2.png flame3.png flame4.png"
"$kgfconv" pack --quiet -o from-png.kaf png-frames
"$kgfconv" pack --quiet -o from-tga.kaf tga-frames
check "PNG frames pack as their TGA frames do" cmp -s from-png.kaf from-tga.kaf

# Damaged PNG files fail (statuses.sh names each reason), writing nothing.
head -c 100 png/wall.png >cut.png
cp wall.tga not.png
"$kgfconv" convert --to kgf -o refused cut.png not.png 2>err.txt
check "damaged PNG files fail" test $? -eq 1
check "nothing written for them" test ! -e refused -o -z "$(ls refused 2>/dev/null)"

# The corpus, to KGF and to PNG: outputs pinned by their digests.
pinned_corpus "$here" "$kgfconv"
check "corpus outputs pass pngcheck" all_pass_pngcheck pinned/png
[ -n "$KGF_PRINT_DIGESTS" ] && cat digests.txt
finish
