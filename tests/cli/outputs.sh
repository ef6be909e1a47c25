# Two files of one run never write the same output: the first file given
# keeps it and the later one fails by name, whatever -j; a file there before
# the run is replaced as ever.
. "$(dirname "$0")/common.inc"
export XDG_CONFIG_HOME="$work/config"

mkdir a b c d
cp wall.tga a/x.tga
for folder in b c d; do
    cp glass.tga "$folder/x.tga"
done
"$kgfconv" convert --to kgf -o alone a/x.tga 2>/dev/null
for jobs in 1 4; do
    mkdir "out$jobs"
    echo old >"out$jobs/x.kgf"
    "$kgfconv" convert --to kgf -j $jobs -o "out$jobs" a/x.tga b/x.tga c/x.tga d/x.tga 2>err.txt
    check "-j $jobs fails the later files" test $? -eq 1
    sed "s|out$jobs/|out/|" err.txt >"err$jobs.txt"
    check "-j $jobs replaces the file from before the run with the first file's output" \
        cmp -s alone/x.kgf "out$jobs/x.kgf"
done
for folder in b c d; do
    check "$folder/x.tga is refused by name" \
        grep -qx "kgfconv: $folder/x.tga: Cannot replace out/x.kgf: an earlier file of this run wrote it" err1.txt
done
check "-j 4 prints what -j 1 prints" cmp -s err1.txt err4.txt

# A texture and a picture of one name, both to TGA.
cp stone.kgf x.kgf
cp wall.tga x.tga
"$kgfconv" convert --to tga -o both x.tga x.kgf 2>err.txt
check "TGA and KGF of one name fail" test $? -eq 1
check "the KGF is refused" grep -qx "kgfconv: x.kgf: Cannot replace both/x.tga: an earlier file of this run wrote it" err.txt
"$kgfconv" convert --to tga -o tga-alone x.tga 2>/dev/null
check "the TGA's output stays" cmp -s tga-alone/x.tga both/x.tga

# Two animations with a frame of one name: the first animation's frame stays,
# the second's other frames are written.
kaf_of frame1.kgf walk2.kgf >walk.kaf
kaf_colour='\340\003' kaf_of frame1.kgf run2.kgf >run.kaf
"$kgfconv" convert --to kgf -o walk-alone walk.kaf 2>/dev/null
for jobs in 1 2; do
    "$kgfconv" convert --to kgf -j $jobs -o "frames$jobs" walk.kaf run.kaf 2>err.txt
    check "-j $jobs fails the second animation" test $? -eq 1
    check "-j $jobs names its frame" \
        grep -qx "kgfconv: run.kaf: Cannot replace frames$jobs/frame1.kgf: an earlier file of this run wrote it" err.txt
    check "-j $jobs keeps the first animation's frame" cmp -s walk-alone/frame1.kgf "frames$jobs/frame1.kgf"
    check "-j $jobs writes the second's other frame" test -f "frames$jobs/run2.kgf"
done
finish
