# kgfconv convert: every conversion, the options, the messages and the exit
# statuses, on real files.
. "$(dirname "$0")/common.inc"
export XDG_CONFIG_HOME="$work/config"

"$kgfconv" convert --to kgf -o out wall.tga glass.tga >out.txt 2>err.txt
check "TGA to KGF exits 0" test $? -eq 0
check "TGA to KGF writes wall.kgf" test -f out/wall.kgf
check "TGA to KGF writes glass.kgf" test -f out/glass.kgf
check "progress lines name the inputs as given" grep -qx "\[1/2\] wall.tga" err.txt
check "second progress line" grep -qx "\[2/2\] glass.tga" err.txt
check "the KGF reads back at one level" test "$(levels_of out/wall.kgf)" = 1

"$kgfconv" convert --to kgf --levels 5 -o five --quiet wall.tga >out.txt 2>err.txt
check "--levels 5 exits 0" test $? -eq 0
check "--quiet prints nothing" test ! -s err.txt
check "--levels 5 writes five levels" test "$(levels_of five/wall.kgf)" = 5

"$kgfconv" convert --to tga --all-levels --suffix _L -o levels stone.kgf 2>err.txt
check "KGF to TGA per level exits 0" test $? -eq 0
for level in 1 2 3 4 5; do
    check "level file $level" test -f "levels/stone_L$level.tga"
done
"$kgfconv" convert --to tga --first-level --bpp 32 -o single stone.kgf 2>err.txt
check "first level only writes stone.tga" test -f single/stone.tga
check "and nothing else" test "$(ls single | wc -l)" -eq 1
check "--bpp 32 writes 32-bit pixels" test "$(od -An -tu1 -j16 -N1 single/stone.tga | tr -d ' ')" -eq 32

"$kgfconv" convert --to tga -o frames flame.kaf 2>err.txt
check "KAF to TGA exits 0" test $? -eq 0
check "KAF to TGA writes each frame" test "$(ls frames | tr '\n' ' ')" = "flame1.tga flame2.tga flame3.tga flame4.tga "
# KAF to TGA writes each frame's own levels: the KGF level count has no say.
"$kgfconv" convert --to tga --all-levels --levels 5 -o framelevels flame.kaf 2>err.txt
check "one-level frames give one TGA each under --levels 5" \
    test "$(ls framelevels | tr '\n' ' ')" = "flame1.tga flame2.tga flame3.tga flame4.tga "
{ printf '\001'; printf '\000%.0s' 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16; cat stone.kgf; } >stone.kaf
"$kgfconv" convert --to tga --all-levels --levels 1 --suffix _L -o stonelevels stone.kaf 2>err.txt
check "a five-level frame gives its five levels under --levels 1" \
    test "$(ls stonelevels | tr '\n' ' ')" = "stone_L1.tga stone_L2.tga stone_L3.tga stone_L4.tga stone_L5.tga "
for level in 1 2 3 4 5; do
    check "frame level $level is the texture's own" cmp -s "stonelevels/stone_L$level.tga" "levels/stone_L$level.tga"
done
"$kgfconv" convert --to kgf -o kgfframes flame.kaf 2>err.txt
check "KAF to KGF writes each frame" test "$(ls kgfframes | tr '\n' ' ')" = "flame1.kgf flame2.kgf flame3.kgf flame4.kgf "

"$kgfconv" convert --to tga --bpp 24 -o depth glass.tga 2>err.txt
check "TGA to TGA changes the depth" test "$(od -An -tu1 -j16 -N1 depth/glass.tga | tr -d ' ')" -eq 24
"$kgfconv" convert --to kgf --levels 5 -o rebuilt out/wall.kgf 2>err.txt
check "KGF to KGF rebuilds the chain" test "$(levels_of rebuilt/wall.kgf)" = 5

# Files in other folders are opened as given; the output goes to -o.
mkdir -p sub
cp wall.tga sub/deep.tga
"$kgfconv" convert --to kgf -o "$work/abs" sub/deep.tga "$work/glass.tga" 2>err.txt
check "relative and absolute inputs" test -f abs/deep.kgf -a -f abs/glass.kgf

# Endings count in any case; a file of another type fails by name, the
# others go on, and only converted files get a progress line.
cp wall.tga UP.TGA
cp wall.tga mixed.Tga
cp wall.tga notes.bmp
"$kgfconv" convert --to kgf -o cases UP.TGA notes.bmp mixed.Tga 2>err.txt
check "a file of no known type makes the exit status 1" test $? -eq 1
check "the others convert" test -f cases/UP.kgf -a -f cases/mixed.kgf
check "progress lines for converted files only" test "$(grep -c '^\[' err.txt)" -eq 2
check "and numbered in input order" grep -qx "\[3/3\] mixed.Tga" err.txt
"$kgfconv" convert --to kgf --from tga -o forced notes.bmp 2>err.txt
check "--from forces the type, the name keeping its ending" test -f forced/notes.bmp.kgf

usage "kgfconv: Sorry, but you cannot create KAFs (animations) with this version." \
    "kgfconv: to write an animation of frames, use kgfconv pack (see kgfconv pack --help)" convert --to kaf wall.tga
"$kgfconv" convert --to kgf notes.bmp >out.txt 2>err.txt
check "nothing convertible is status 2" test $? -eq 2

# Usage errors: a suffix of ten characters, a depth or a level count not
# offered, both level options, no --to.
for run in "--to tga --suffix ABCDEFGHIJ wall.tga" "--to tga --bpp 16 wall.tga" \
    "--to tga --all-levels --first-level stone.kgf" "--to kgf --levels 0 wall.tga" \
    "--to kgf --levels 3 wall.tga" wall.tga; do
    "$kgfconv" convert $run >out.txt 2>&1
    check "convert $run is a usage error" test $? -eq 2
done

long=nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn.tga
cp wall.tga "$long"
"$kgfconv" convert --to kgf -o names "$long" 2>err.txt
check "the name-length question answered No fails the file" test $? -eq 1
check "the question is shown" grep -q "^kgfconv: $long: Filename exceeds 36 characters" err.txt
check "with its answer" grep -qx "kgfconv: $long: a name of 36 characters or more: answered No: not written, the file fails (--yes writes it)" err.txt
check "the file is not written" test ! -e "names/nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn.kgf"
"$kgfconv" convert --to kgf --yes -o names "$long" 2>err.txt
check "--yes writes it" test -f "names/nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn.kgf"
# A frame stored under 34 characters has 38 as a split's KGF: the same
# question, and the other frames written all the same.
kaf_of ffffffffffffffffffffffffffffffffff short.kgf >longframe.kaf
"$kgfconv" convert --to kgf -o split-long longframe.kaf 2>err.txt
check "a split frame's long name answered No fails the file" test $? -eq 1
check "the question is asked for it" test "$(grep -c "Filename exceeds 36 characters" err.txt)" -eq 1
check "and the frame is not written" test "$(ls split-long)" = short.kgf
"$kgfconv" convert --to kgf --yes -o split-long longframe.kaf 2>err.txt
check "--yes writes it" test -f split-long/ffffffffffffffffffffffffffffffffff.kgf
"$kgfconv" pack --quiet -o repacked.kaf --like longframe.kaf split-long 2>err.txt
check "and packs back as it was" cmp -s repacked.kaf longframe.kaf

head -c 100 stone.kgf >cut.kgf
"$kgfconv" convert --to tga -o cut cut.kgf missing.kgf wall.tga 2>err.txt
check "failures make the status 1" test $? -eq 1
check "the good file still converts" test -f cut/wall.tga
check "with the only progress line, after a line for each failure" \
    test "$(grep -c '^kgfconv: ' err.txt) $(grep -c '^\[' err.txt)" = "2 1"

# The quality options: each changes the KGF, --best is the three, and the
# --no- forms after it give the plain file back.
q() { "$kgfconv" convert --to kgf --levels 5 --quiet "$@" glass.tga 2>err.txt; }
q -o plain
q --best -o best
check "--best exits 0" test $? -eq 0
q --dither --srgb-mips --alpha-mips -o three
check "--best is the three options" cmp -s best/glass.kgf three/glass.kgf
check "--best changes the file" sh -c '! cmp -s plain/glass.kgf best/glass.kgf'
for option in --dither --srgb-mips --alpha-mips; do
    q "$option" -o "one$option"
    check "$option changes the file" sh -c "! cmp -s plain/glass.kgf 'one$option/glass.kgf'"
done
q --best --no-dither --no-srgb-mips --no-alpha-mips -o undone
check "the --no- forms undo --best" cmp -s plain/glass.kgf undone/glass.kgf

check "the command never saves settings" test ! -e "$work/config/kgf-tool/settings.ini"
finish
