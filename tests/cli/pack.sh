# kgfconv pack: split an animation, pack it back, edit a frame, refusals.
. "$(dirname "$0")/common.inc"
export XDG_CONFIG_HOME="$work/config"

# Round trips: every frame unchanged gives the original back, whatever the
# split's levels and frame type.
"$kgfconv" convert --to kgf --levels 5 -o kgf5 flame.kaf 2>err.txt
"$kgfconv" pack -o back5.kaf --like flame.kaf kgf5 2>err.txt
check "pack exits 0" test $? -eq 0
check "KGF frames of five levels pack back to the original" cmp -s back5.kaf flame.kaf
check "the summary line counts the copies" \
    grep -qx "kgfconv: back5.kaf: 4 frames: 0 encoded, 4 copied and 0 kept from flame.kaf" err.txt
"$kgfconv" convert --to tga --bpp 32 -o tga flame.kaf 2>err.txt
"$kgfconv" pack --quiet -o backtga.kaf --like flame.kaf tga/flame1.tga tga/flame2.tga \
    tga/flame3.tga tga/flame4.tga 2>err.txt
check "TGA frames pack back to the original" cmp -s backtga.kaf flame.kaf
check "--quiet prints nothing" test ! -s err.txt

# One edited frame: a pixel of the third frame's TGA changes.
printf '\000\000\000\377' | dd of=tga/flame3.tga bs=1 seek=18 conv=notrunc 2>/dev/null
"$kgfconv" pack -o edited.kaf --like flame.kaf tga 2>err.txt
check "the edited animation is written" test $? -eq 0
check "one frame is encoded" grep -q ": 1 encoded, 3 copied and 0 kept" err.txt
check "and it differs from the original" test -n "$(cmp edited.kaf flame.kaf)"
"$kgfconv" info edited.kaf >info.txt 2>&1
check "info reads what pack writes" grep -qx "  Frames: 4" info.txt
"$kgfconv" convert --to tga --bpp 32 -o again edited.kaf 2>err.txt
check "and the edited frame splits back as edited" cmp -s again/flame3.tga tga/flame3.tga

# Only the edited frame given: the others are kept from the original.
"$kgfconv" pack -o one.kaf --like flame.kaf tga/flame3.tga 2>err.txt
check "the others are kept" grep -q ": 1 encoded, 0 copied and 3 kept" err.txt
check "giving the same animation" cmp -s one.kaf edited.kaf

# Without an original: a folder's frames by name, numbers as numbers.
mkdir order
for n in 1 2 10; do cp wall.tga "order/w$n.tga"; done
"$kgfconv" pack -o made/new.kaf --levels 5 order 2>err.txt
check "a new animation from a folder, into a folder made for it" test $? -eq 0
"$kgfconv" info --json made/new.kaf >info.json 2>&1
check "frames in name order, numbers counted" \
    test "$(grep '"name"' info.json | tr -d ' ,\n')" = '"name":"w1.kgf""name":"w2.kgf""name":"w10.kgf"'
check "with the levels asked for" test "$(grep -c '"mipmaps": 5' info.json)" -eq 4

# The quality options make frames as they make a converted TGA's chain.
"$kgfconv" pack --quiet -o plain.kaf --levels 5 wall.tga 2>err.txt
"$kgfconv" pack --quiet -o best.kaf --levels 5 --best wall.tga 2>err.txt
check "--best packs" test $? -eq 0
check "and changes the frame" test -n "$(cmp plain.kaf best.kaf)"
"$kgfconv" convert --to kgf --levels 1 --best -o bestkgf wall.tga 2>err.txt
"$kgfconv" convert --to kgf --levels 1 -o bestframe best.kaf 2>err.txt
check "its first level as TGA to KGF with --best makes it" cmp -s bestframe/wall.kgf bestkgf/wall.kgf

# Refusals (statuses.sh names each refused frame): exit 1, nothing written.
long=abcdefghijklmnopqrstuvwxyz0123456789
cp wall.tga "$long.tga"
"$kgfconv" pack --yes -o long.kaf "$long.tga" 2>err.txt
check "pack has no --yes: a split could not take such a name apart" test $? -eq 2
"$kgfconv" pack -o refused.kaf flame.kaf 2>err.txt
check "an animation is no frame" test $? -eq 1
check "nothing refused was written" test ! -e refused.kaf
cp wall.tga kept.tga
usage "kgfconv: wall.tga: An animation's name ends in kaf" "Run 'kgfconv pack --help' for more information." \
    pack -o wall.tga wall.tga
check "and the frame is left alone" cmp -s wall.tga kept.tga
"$kgfconv" pack -o x.kaf --levels 3 wall.tga >out.txt 2>&1
check "--levels 3 is a usage error" test $? -eq 2

finish
