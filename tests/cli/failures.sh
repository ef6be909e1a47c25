# kgfconv convert: every output that is not written is named and fails its
# file; inputs that are not files are refused; parallel runs match -j 1.
. "$(dirname "$0")/common.inc"
export XDG_CONFIG_HOME="$work/config"

# KAF to KGF into a folder that cannot be made: every frame is named.
echo x >plain
"$kgfconv" convert --to kgf -o plain/sub flame.kaf 2>err.txt
check "an unwritable folder fails the animation" test $? -eq 1
for n in 1 2 3 4; do
    check "frame $n is named" grep -qx "kgfconv: flame.kaf: Cannot make the folder plain/sub for plain/sub/flame$n.kgf: Not a directory" err.txt
done
check "and no progress line claims it" test "$(grep -c '^\[' err.txt)" -eq 0

# A frame refused for its name fails the animation; the others are written.
kaf_of good.kgf ../up.kgf >bad.kaf
"$kgfconv" convert --to kgf -o named bad.kaf 2>err.txt
check "the good frame is written" test -f named/good.kgf -a ! -e up.kgf

# KAF to TGA: a frame stored as pic.tga gets an output of its own beside a
# user's file of that name.
kaf_of pic.tga other.kgf >pic.kaf
mkdir -p pics
echo mine >pics/pic.tga
"$kgfconv" convert --to tga -o pics pic.kaf 2>err.txt
check "a frame named pic.tga converts" test $? -eq 0
check "its output is the frame's TGA" test "$(od -An -tu1 -j2 -N1 pics/pic.tga.tga | tr -d ' ')" -eq 2
check "the user's file stays" test "$(cat pics/pic.tga)" = mine
check "no frame file is left" test "$(ls pics | tr '\n' ' ')" = "other.tga pic.tga pic.tga.tga "

# Every level that cannot be written is named.
"$kgfconv" convert --to tga --all-levels -o plain/sub stone.kgf 2>err.txt
check "an unwritable folder fails the texture" test $? -eq 1
check "each level is named" test "$(grep -c '^kgfconv: stone.kgf: Cannot make the folder plain/sub for plain/sub/stone_MM[1-5].tga: Not a directory$' err.txt)" -eq 5

# Inputs that are not regular files are refused by name and never block.
mkfifo pipe.kaf
mkdir dir.tga
ln -s /dev/zero zero.kgf
for file in pipe.kaf dir.tga zero.kgf; do
    timeout 20 "$kgfconv" info "$file" >out.txt 2>err.txt
    check "info refuses $file" test $? -eq 1
    check "naming it" grep -qx "kgfconv: $file: Not a regular file!" err.txt
    timeout 20 "$kgfconv" convert --to tga -o refused "$file" 2>err.txt
    check "convert refuses $file" test $? -eq 1
    if [ -d "$file" ]; then
        check "naming it" grep -qx "kgfconv: $file: Is a folder; -r converts the files below it" err.txt
    else
        check "naming it" grep -qx "kgfconv: $file: Not a regular file!" err.txt
    fi
done

# Many files on several threads: the same files, messages and status as one.
mkdir -p many
for i in 01 02 03 04 05 06 07 08 09 10 11 12; do
    cp wall.tga "many/w$i.tga"
    cp stone.kgf "many/s$i.kgf"
done
head -c 50 stone.kgf >many/cut.kgf
cp wall.tga many/same.tga
cp glass.tga many/same.TGA
mkdir many/w02z.tga # a folder among the files: its message keeps its place
both_jobs "many files" --to tga --all-levels -o OUT many/*.tga many/*.TGA many/*.kgf many/missing.kgf \
    flame.kaf
check "many files: the failures make the status 1" test "$status" -eq 1
"$kgfconv" convert --to tga --all-levels -o alone many/same.tga 2>/dev/null
check "the first of two same outputs is kept" cmp -s alone/same.tga out1/same.tga
check "at -j 4 as well" cmp -s alone/same.tga out4/same.tga

# A full file system: the output is named, the old file stays, no part is left.
if [ "$(id -u)" -eq 0 ] && mkdir -p full && mount -t tmpfs -o size=64k tmpfs full 2>/dev/null; then
    echo old >full/wall.kgf
    dd if=/dev/zero of=full/filler bs=4k count=64 2>/dev/null
    "$kgfconv" convert --to kgf -o full wall.tga 2>err.txt
    status=$?
    check "a full disk fails the file" test $status -eq 1
    check "naming the output" grep -qx "kgfconv: wall.tga: Cannot write full/wall.kgf: No space left on device" err.txt
    check "the old file stays" test "$(cat full/wall.kgf)" = old
    check "no temporary file is left" test "$(ls -A full | tr '\n' ' ')" = "filler wall.kgf "
    umount full
else
    echo "skipped: the full-disk check needs root to mount a small tmpfs"
fi
finish
