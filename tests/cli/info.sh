# kgfconv info: the blocks, the messages and the exit statuses.
. "$(dirname "$0")/common.inc"

# mapped.tga is a layout other programs write: 2 x 2, colour-mapped with one
# 32-bit entry, run-length, top-left; its real size and the depth it is read at.
printf '\000\001\011\000\000\001\000\040\000\000\000\000\002\000\002\000\010\040\001\002\003\004\203\000' >mapped.tga
"$kgfconv" info wall.tga stone.kgf flame.kaf glass.tga mapped.tga >out.txt 2>err.txt
check "info exits 0 when every file reads" test $? -eq 0
cat >expected.txt <<'END'
wall.tga
  Type: TGA
  Resolution: 64x32
  Color depth: 24
  Mipmaps: 1
  Frames: 1
stone.kgf
  Type: KGF
  Resolution: 64x64
  Color depth: 16
  Mipmaps: 5
  Frames: 1
flame.kaf
  Type: KAF
  Resolution: 32x32
  Color depth: 16
  Mipmaps: 1
  Frames: 4
glass.tga
  Type: TGA
  Resolution: 32x32
  Color depth: 32
  Mipmaps: 1
  Frames: 1
mapped.tga
  Type: TGA
  Resolution: 2x2
  Color depth: 32
  Mipmaps: 1
  Frames: 1
END
check "info blocks" cmp -s out.txt expected.txt
check "no messages for good files" test ! -s err.txt

head -c 30 stone.kgf >cut.kgf
cp wall.tga notes.txt
cp wall.tga mixed.Tga
"$kgfconv" info cut.kgf notes.txt wall.tga mixed.Tga >out.txt 2>err.txt
check "info exits 1 when a file fails" test $? -eq 1
check "a short KGF reports missing data, by name" grep -qx "kgfconv: cut.kgf: File is missing some data; do not use" err.txt
check "an unknown ending is unsupported, by name" grep -qx "kgfconv: notes.txt: Unsupported file type" err.txt
check "endings count in any case" grep -qx "mixed.Tga" out.txt
check "only the good files have a block" test "$(grep -c 'Type:' out.txt)" -eq 2
check "the good file's block is printed" grep -qx "wall.tga" out.txt

# Each file is described from what was read of it alone: an animation of no
# frames declares no levels, whatever the file before it declared.
head -c 17 /dev/zero >empty.kaf
"$kgfconv" info stone.kgf empty.kaf >out.txt 2>err.txt
check "an empty KAF after a KGF shows no levels" test "$(grep 'Mipmaps:' out.txt | tr -d ' ')" = "$(printf 'Mipmaps:5\nMipmaps:0')"

# Frames of two sizes: the first frame's size, and a note.
{
    printf '\002'
    printf '\000%.0s' 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16
    printf '\000\000zbig.kgf\000\001\000\000\000\000\000\000\000\000\000\002\000\002\000\040\050\004\037\200'
    printf '\000\000zsmall.kgf\000\001\000\000\000\000\000\000\000\000\000\001\000\001\000\040\050\001\037\200'
} >sizes.kaf
kaf_of a.kgf b.kgf >same.kaf
"$kgfconv" info sizes.kaf same.kaf >out.txt 2>err.txt
check "frames of two sizes read" test $? -eq 0
check "the first frame's size stands" test "$(grep -c 'Resolution: 2x2' out.txt)" -eq 2
check "the note says the sizes differ, for that file only" test "$(grep -n 'Note:' out.txt)" = "7:  Note: sizes differ"
"$kgfconv" info --json sizes.kaf same.kaf >out.txt 2>err.txt
check "the JSON note, for that file only" test "$(grep -c '"note": "sizes differ"' out.txt)" -eq 1
check "the JSON size is the first frame's" test "$(grep -c '"width": 2,' out.txt)" -ge 3

"$kgfconv" info missing.kgf >out.txt 2>err.txt
check "a missing file fails" test $? -eq 1
check "a missing file is named" grep -q "missing.kgf" err.txt

"$kgfconv" --help >out.txt 2>&1
check "--help exits 0" test $? -eq 0
check "--help lists the commands" grep -q "convert" out.txt
check "--help lists the exit statuses" grep -q "^Exit status" out.txt
check "--help does not speak of windows" test "$(grep -ci window out.txt)" -eq 0
"$kgfconv" convert --help >out.txt 2>&1
for default in "./output at first" "1 at first" "24 at first" "_MM at first" "first level only at first"; do
    check "convert --help states the default: $default" grep -q "$default" out.txt
done
"$kgfconv" --version >out.txt 2>&1
check "--version exits 0" test $? -eq 0
check "--version names the program" grep -q "kgfconv" out.txt
finish
