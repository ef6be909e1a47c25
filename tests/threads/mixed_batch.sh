# A mixed batch on eight threads, meant for the ThreadSanitizer build: every
# kind of input, good and broken, to both output types. A data race makes
# the sanitizer fail the run (its exit status 66); the outputs and messages
# must also be those of one thread.
. "$(dirname "$0")/../cli/common.inc"

mkdir -p mixed
for i in 1 2 3 4 5 6; do
    cp wall.tga "mixed/wall$i.tga"
    cp glass.tga "mixed/glass$i.tga"
    cp stone.kgf "mixed/stone$i.kgf"
    cp flame.kaf "mixed/flame$i.kaf"
done
head -c 40 stone.kgf >mixed/cut.kgf
head -c 30 wall.tga >mixed/cut.tga
head -c 60 flame.kaf >mixed/cut.kaf
for to in kgf tga; do
    "$kgfconv" convert --to "$to" --levels 5 --all-levels -j 1 -o "one-$to" mixed/* 2>"one-$to.txt"
    one=$?
    "$kgfconv" convert --to "$to" --levels 5 --all-levels -j 8 -o "eight-$to" mixed/* 2>"eight-$to.txt"
    eight=$?
    check "to $to: -j 8 exits 1 for the broken files, as -j 1" test "$one" -eq 1 -a "$eight" -eq 1
    # The outputs a later file may not replace are named with their folder.
    sed "s|replace eight-$to/|replace one-$to/|" "eight-$to.txt" >"eight-$to-named.txt"
    check "to $to: -j 8 prints what -j 1 prints" cmp -s "one-$to.txt" "eight-$to-named.txt"
    check "to $to: -j 8 writes what -j 1 writes" diff -r "one-$to" "eight-$to"
done
finish
