# Names decide nothing they should not: the files a split writes for stored
# frame names, the outputs of names given on the command line, and the
# reasons of outputs that cannot be written. Each table runs at -j 1 and
# -j 4, and the two must print and write the same.
. "$(dirname "$0")/common.inc"
export XDG_CONFIG_HOME="$work/config"

# Stored frame names: the KGF and the TGA file each split writes. No file
# of another type is ever replaced, and a pack of either split gives the
# original back byte for byte, the stored names kept.
echo mine >flame1.tga
while read -r stored kgf tga; do
    kaf_of "$stored" other.kgf >stored.kaf
    both_jobs "$stored to KGF" --to kgf -o OUT stored.kaf
    check "$stored is split to KGF as $kgf" test "$(ls -A out1 | tr '\n' ' ')" = "$kgf other.kgf "
    "$kgfconv" pack -o back.kaf --like stored.kaf out1 2>err.txt
    check "$stored: the KGF split packs back" cmp -s back.kaf stored.kaf
    both_jobs "$stored to TGA" --to tga --bpp 32 -o OUT stored.kaf
    check "$stored is split to TGA as $tga" test "$(ls -A out1 | tr '\n' ' ')" = "$tga other.tga "
    "$kgfconv" pack -o back.kaf --like stored.kaf out1 2>err.txt
    check "$stored: the TGA split packs back" cmp -s back.kaf stored.kaf
done <<'EOF'
flame1.kgf flame1.kgf flame1.tga
Flame1.KGF Flame1.KGF Flame1.tga
flame1.tga flame1.tga.kgf flame1.tga.tga
flame1kgfx flame1kgfx.kgf flame1kgfx.tga
frame frame.kgf frame.tga
.......... ...........kgf ...........tga
.~kgf999999-1.tmp .~kgf999999-1.tmp.kgf .~kgf999999-1.tmp.tga
EOF
kaf_of flame1.tga >mine.kaf
"$kgfconv" convert --to kgf -o . mine.kaf 2>/dev/null
"$kgfconv" convert --to tga -o . mine.kaf 2>/dev/null
check "a split beside a user's flame1.tga leaves it" test "$(cat flame1.tga)" = mine
check "and writes its own files" test -f flame1.tga.kgf -a -f flame1.tga.tga

# A frame named as a temporary file is never taken for one: a later run
# leaves the split's file where it is.
kaf_of .~kgf999999-1.tmp >tmpname.kaf
"$kgfconv" convert --to kgf -o tmpout tmpname.kaf 2>/dev/null
"$kgfconv" convert --to kgf -o tmpout wall.tga 2>/dev/null
check "the clean-up leaves a split's file" test -f "tmpout/.~kgf999999-1.tmp.kgf"

# Control characters in a stored name are refused by name, shown escaped.
esc=$(printf '\033')
kaf_of "a${esc}[2J.kgf" "b
c.kgf" good.kgf >control.kaf
both_jobs "control characters" --to kgf -o OUT control.kaf
check "they fail the animation" test "$status" -eq 1
check "the escape is shown, not sent" grep -qx 'kgfconv: control.kaf: Bad frame name: a\\x1B\[2J.kgf' err.txt
check "so is the line break" grep -qx 'kgfconv: control.kaf: Bad frame name: b\\nc.kgf' err.txt
check "the good frame is written" test "$(ls -A out1)" = good.kgf
cp wall.tga "w${esc}x.tga"
"$kgfconv" info "w${esc}x.tga" >info.txt 2>&1
check "info names a file with an escape safely" test "$(head -1 info.txt)" = 'w\x1Bx.tga'
"$kgfconv" pack -o ctl.kaf "w${esc}x.tga" 2>err.txt
check "pack refuses such a frame" grep -qx 'kgfconv: w\\x1Bx.tga: Bad frame name: w\\x1Bx.tga' err.txt

# Names on the command line, read as TGA whatever their ending.
while read -r name kgf tga; do
    cp wall.tga "$name"
    both_jobs "$name" --to kgf --from tga -o OUT "$name"
    check "$name gives $kgf" test "$(ls -A out1)" = "$kgf"
    both_jobs "$name" --to tga --from tga -o OUT "$name"
    check "$name gives $tga" test "$(ls -A out1)" = "$tga"
    rm -f "$name"
done <<'EOF'
wall.TGA wall.kgf wall.tga
picture picture.kgf picture.tga
frame01 frame01.kgf frame01.tga
ab ab.kgf ab.tga
picture.img picture.img.kgf picture.img.tga
xtga xtga.kgf xtga.tga
EOF

# Failure reasons: the system's words for the folder or the file at fault,
# and "an earlier file of this run wrote it" only when one did.
echo x >afile
ln -s nowhere dangling
mkdir -p a b
cp wall.tga a/y.tga
cp wall.tga b/y.tga
while read -r folder reason; do
    both_jobs "$folder" --to kgf -o "$folder" a/y.tga b/y.tga
    check "$folder fails both files" test "$status" -eq 1
    for file in a b; do
        check "$file/y.tga gets the reason $reason" grep -qx "kgfconv: $file/y.tga: $reason" err.txt
    done
    check "$folder: no earlier file is blamed" test "$(grep -c 'earlier file' err.txt)" -eq 0
done <<'EOF'
afile Cannot create afile/y.kgf: Not a directory
afile/sub Cannot make the folder afile/sub for afile/sub/y.kgf: Not a directory
dangling/sub Cannot make the folder dangling/sub for dangling/sub/y.kgf: No such file or directory
EOF
if [ "$(id -u)" -eq 0 ]; then
    as_user="setpriv --reuid=65534 --regid=65534 --clear-groups"
    chmod 755 "$work"
    chmod -R a+rX a b
fi
mkdir -m 555 ro
if $as_user test -r a/y.tga && ! $as_user mkdir ro/probe 2>/dev/null; then
    for jobs in 1 4; do
        $as_user "$kgfconv" convert -j $jobs --to kgf -o ro/sub a/y.tga flame.kaf 2>"ro$jobs.txt"
        check "-j $jobs: a folder that may not be made fails" test $? -eq 1
    done
    check "-j 4 prints what -j 1 prints" cmp -s ro1.txt ro4.txt
    check "the folder is named with the reason" \
        grep -qx "kgfconv: a/y.tga: Cannot make the folder ro/sub for ro/sub/y.kgf: Permission denied" ro1.txt
    check "for each frame too" \
        test "$(grep -c '^kgfconv: flame.kaf: Cannot make the folder ro/sub for ro/sub/flame[1-4].kgf: Permission denied$' ro1.txt)" -eq 4
    mkdir -m 777 rw
    echo old >rw/y.kgf
    chmod 444 rw/y.kgf
    both_jobs "a read-only output" --to kgf -o rw a/y.tga b/y.tga
    check "both files are refused by the file's own reason" \
        test "$(grep -c 'Cannot create rw/y.kgf: Permission denied$' err.txt)" -eq 2
else
    echo "skipped: no ordinary user to be refused a folder as"
fi

# Two animations holding one frame name, one of them twice: the messages
# of -j 1 at any -j.
kaf_of flame2.kgf flame2.kgf >dup.kaf
both_jobs "a shared frame name" --to kgf -o OUT wall.tga flame.kaf dup.kaf
check "the later animation fails" test "$status" -eq 1
check "both its frames are refused as -j 1 refuses them" \
    test "$(grep -c '^kgfconv: dup.kaf: Cannot replace out1/flame2.kgf: an earlier file of this run wrote it$' err.txt)" -eq 2

# --like takes an animation of frames only; a missing argument is named.
"$kgfconv" convert --to tga --bpp 32 -o frames flame.kaf 2>/dev/null
head -c 17 /dev/zero >zero.kaf
for like in wall.tga stone.kgf zero.kaf; do
    "$kgfconv" pack -o like.kaf --like "$like" frames/flame1.tga 2>err.txt
    check "--like $like is refused" test $? -eq 1
    check "by name" grep -q "^kgfconv: $like: " err.txt
    check "and nothing is written" test ! -e like.kaf
done
"$kgfconv" pack -o x.kaf missingdir/ 2>err.txt
check "a missing folder is named" test "$(cat err.txt)" = "kgfconv: missingdir/: Cannot open missingdir/: No such file or directory"
cp frames/flame1.tga frames/flame5.tga
"$kgfconv" pack -o added.kaf --like flame.kaf frames 2>err.txt
check "a frame added to a split folder is packed" test $? -eq 0
check "after the original's, and named" grep -qx "kgfconv: added.kaf: 5 frames: 1 encoded, 4 copied and 0 kept from flame.kaf; new, not in flame.kaf: frames/flame5.tga" err.txt
"$kgfconv" info --json added.kaf >info.json 2>&1
check "as the last frame" test "$(grep '"name"' info.json | tail -1 | tr -d ' ,')" = '"name":"flame5.kgf"'
finish
