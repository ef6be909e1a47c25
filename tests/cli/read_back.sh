# What kgfconv writes it reads back: sizes that are not powers of two, levels
# of no pixel, an animation cut short.
. "$(dirname "$0")/common.inc"
export XDG_CONFIG_HOME="$work/config"

# A red TGA of w x h pixels at 24 bits.
red_tga() {
    printf '\000\000\002\000\000\000\000\000\000\000\000\000'
    printf "\\$(printf '%03o' "$1")\\000\\$(printf '%03o' "$2")\\000\\030\\000"
    i=0
    while [ "$i" -lt $(($1 * $2)) ]; do printf '\000\000\377'; i=$((i + 1)); done
}

# 13 x 7 with five levels: levels of 13 x 7, 6 x 3 and 3 x 1, every pixel red
# and opaque; levels 4 and 5 have no pixel and are told once.
red_tga 13 7 >red.tga
"$kgfconv" convert --quiet --to kgf --levels 5 -o k red.tga 2>err.txt
"$kgfconv" convert --to tga --bpp 32 --all-levels -o t k/red.kgf 2>err.txt
check "exit 0 with levels left out" test $? -eq 0
check "the levels with pixels are written" test "$(ls t | tr '\n' ' ')" = "red_MM1.tga red_MM2.tga red_MM3.tga "
check "level 3 is 3 x 1 red opaque pixels" \
    test "$(od -An -v -tx1 -j12 t/red_MM3.tga | tr -d ' \n')" = "0300010020080000ffff0000ffff0000ffff"

# Frames of such sizes packed with five levels are read back level by level.
for size in "12 6" "13 7" "3 3" "17 17" "64 2" "9 1" "1 9"; do
    set -- $size
    red_tga "$1" "$2" >f.tga
    "$kgfconv" pack --quiet --levels 5 -o "p$1x$2.kaf" f.tga 2>err.txt
    "$kgfconv" convert --quiet --to tga --all-levels -o "o$1x$2" "p$1x$2.kaf" 2>err.txt
    check "$1 x $2 frames of five levels convert back" test $? -eq 0
done

# An animation cut short is refused by every reader, by its frame's name,
# and nothing is written for it.
head -c 8900 flame.kaf >cut.kaf
for to in kgf tga; do
    "$kgfconv" convert --to $to -o "cut$to" cut.kaf 2>err.txt
    check "convert --to $to refuses it" test $? -eq 1
    check "writing nothing" test -z "$(ls "cut$to" 2>/dev/null)"
done
"$kgfconv" info cut.kaf >out.txt 2>err.txt
check "info refuses it" test $? -eq 1
check "naming the frame" grep -q "Frame flame4.kgf is missing some data" err.txt
"$kgfconv" pack -o like.kaf --like cut.kaf red.tga 2>err.txt
check "pack --like refuses it" test $? -eq 1
check "writing nothing" test ! -e like.kaf

# A 24-bit split packs back identical.
"$kgfconv" convert --quiet --to tga -o split flame.kaf 2>err.txt
"$kgfconv" pack --quiet --best -o back.kaf --like flame.kaf split 2>err.txt
check "an unchanged 24-bit split packs back identical under --best" cmp -s back.kaf flame.kaf

finish
