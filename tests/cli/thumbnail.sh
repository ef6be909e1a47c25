# kgfconv thumbnail: the PNG it writes is read back at its fitted size with
# the pixels of the picture; an unreadable input writes nothing, names the
# file and the reason, and exits 1; usage errors exit 2.
. "$(dirname "$0")/common.inc"

# file, size, expected resolution of the thumbnail
while read -r file size expected; do
    rm -f t.png
    "$kgfconv" thumbnail -s "$size" "$file" t.png 2>err.txt
    check "$file at $size exits 0" test $? -eq 0
    check "$file at $size says nothing" test ! -s err.txt
    check "$file at $size reads back as $expected" test "$(size_of t.png)" = "$expected"
done <<'CASES'
stone.kgf 128 64x64
stone.kgf 64 64x64
stone.kgf 16 16x16
stone.kgf 1 1x1
flame.kaf 96 32x32
flame.kaf 8 8x8
CASES
"$kgfconv" thumbnail stone.kgf default.png
check "without -s the size is 128: stone.kgf keeps its 64 x 64" test "$(size_of default.png)" = 64x64

# A picture that fits keeps its pixels: the same as the converted first level
# (and the first frame), read back by another reader.
if command -v convert >/dev/null; then
    "$kgfconv" convert --quiet --to png --bpp 32 --first-level -o converted stone.kgf flame.kaf
    "$kgfconv" thumbnail stone.kgf stone.png
    "$kgfconv" thumbnail flame.kaf flame.png
    check "both were written" test -s stone.png -a -s flame.png -a -s converted/stone.png
    check "stone.kgf's thumbnail holds its first level" \
        test "$(convert stone.png rgba:- | md5sum)" = "$(convert converted/stone.png rgba:- | md5sum)"
    first_frame=$(ls converted | grep -v '^stone' | LC_ALL=C sort | head -n 1)
    check "flame.kaf's thumbnail holds its first frame" \
        test "$(convert flame.png rgba:- | md5sum)" = "$(convert "converted/$first_frame" rgba:- | md5sum)"
fi

# The type comes from the first bytes when the ending does not tell it.
cp stone.kgf stone.data
cp flame.kaf flame.data
"$kgfconv" thumbnail -s 16 stone.data s.png && "$kgfconv" thumbnail -s 16 flame.data f.png
check "a KGF and a KAF of another ending are told by their bytes" \
    test "$(size_of s.png) $(size_of f.png)" = "16x16 16x16"

# An empty file already there is a file manager's temporary name: filled.
: >reserved
"$kgfconv" thumbnail -s 16 stone.kgf reserved
cp reserved reserved.png
check "an empty output of another ending is filled" test "$(size_of reserved.png)" = 16x16

# Unreadable inputs: no output, exit 1, the file and the reason named.
head -c 40 stone.kgf >cut.kgf
printf '\000' >empty_animation.kaf
while IFS='|' read -r file message; do
    rm -f out.png
    "$kgfconv" thumbnail "$file" out.png 2>err.txt
    check "$file exits 1" test $? -eq 1
    check "$file writes nothing" test ! -e out.png
    check "$file: $message" test "$(cat err.txt)" = "$message"
done <<'CASES'
missing.kgf|kgfconv: missing.kgf: Cannot open missing.kgf: No such file or directory
cut.kgf|kgfconv: cut.kgf: File is missing some data; do not use
empty_animation.kaf|kgfconv: empty_animation.kaf: No frames; nothing written
wall.tga|kgfconv: wall.tga: Unsupported file type; thumbnails are made of KGF and KAF files
CASES
check "nothing but the thumbnails' own files left" test -z "$(ls -a | grep -i 'tmp\|\.kgftool')"

# Usage errors: exit 2, nothing written, nothing replaced.
echo keep >notes.txt
for run in "stone.kgf notes.txt" "-s 0 stone.kgf zero.png" "-s 4097 stone.kgf big.png"; do
    "$kgfconv" thumbnail $run 2>/dev/null
    check "thumbnail $run is a usage error" test $? -eq 2
done
check "an output of another ending is left as it was" test "$(cat notes.txt)" = keep
check "no output for a usage error" test ! -e zero.png -a ! -e big.png
finish
