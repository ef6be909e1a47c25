# Conversions killed at random moments: at every moment each file the user
# had is intact under its own name, each output is absent, the old file or
# the complete new one, and the next run leaves no temporary file behind.
. "$(dirname "$0")/common.inc"
export XDG_CONFIG_HOME="$work/config"

# 30 TGA files of 512 x 512 random pixels: a batch of a few tenths of a second.
mkdir batch
{ printf '\0\0\2\0\0\0\0\0\0\0\0\0\0\2\0\2\40\10'; head -c 1048576 /dev/urandom; } >picture
for i in 01 02 03 04 05 06 07 08 09 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 28 29 30; do
    cp picture "batch/p$i.tga"
done

# An animation of 120 frames of 128 x 128 with five levels each, named
# fr000.kgf ...
frames=$(seq -f 'fr%03g.kgf' 0 119)
{
    printf '\170'
    printf '\000%.0s' 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16
    for name in $frames; do
        printf '\000\000z%s\000\005\000\000\000\000\000\000\000\000\000\200\000\200\000\040\050' "$name"
        for run in $(seq 86); do printf '\377\037\200'; done
    done
} >anim.kaf

# What the user has in the output folders: files named like frames and like
# outputs, and others.
setup() {
    rm -rf out frames
    mkdir out frames
    echo "my notes" >out/notes.txt
    echo "old p05" >out/p05.kgf
    echo "mine 0" >frames/fr000.kgf
    echo "mine 1" >frames/fr001.kgf
    echo "old 2" >frames/fr002_MM1.tga
    cp -r out out.before
    cp -r frames frames.before
}
batch_run="convert --quiet --to kgf --levels 5 -j 2 -o out batch/*.tga"
frames_run="convert --quiet --to tga --all-levels --bpp 32 -o frames anim.kaf"

# The complete outputs, for comparison, and how long each run takes here:
# the kills fall at random moments within that.
milliseconds() { echo $(($(date +%s%N) / 1000000)); }
setup
start=$(milliseconds)
"$kgfconv" $batch_run 2>/dev/null
batch_ms=$(($(milliseconds) - start + 1))
start=$(milliseconds)
"$kgfconv" $frames_run 2>/dev/null
frames_ms=$(($(milliseconds) - start + 1))
check "the reference runs convert" test -f out/p30.kgf -a -f frames/fr119_MM5.tga
rm -rf expected.out expected.frames
mv out expected.out
mv frames expected.frames

# Every file in folder: the user's own as it was, an output absent, old or
# complete, or a temporary file of ours; nothing else.
state_ok() {
    folder=$1
    for file in "$folder.before"/*; do
        name=${file##*/}
        [ -f "expected.$folder/$name" ] && continue
        cmp -s "$file" "$folder/$name" || { echo "user file $name changed"; return 1; }
    done
    for file in "$folder"/* "$folder"/.[!.]*; do
        [ -e "$file" ] || continue
        name=${file##*/}
        case $name in
        .~kgf*-*.tmp) continue ;;
        esac
        if [ -f "expected.$folder/$name" ]; then
            cmp -s "$file" "expected.$folder/$name" && continue
            [ -f "$folder.before/$name" ] && cmp -s "$file" "$folder.before/$name" && continue
            echo "output $name is neither old nor complete"
            return 1
        fi
        [ -f "$folder.before/$name" ] || { echo "stray file $name"; return 1; }
    done
}

# A random moment within the first given milliseconds.
random_delay() {
    delay=$(($(od -An -N4 -tu4 /dev/urandom | tr -d ' ') % $1))
    printf '%d.%03d' $((delay / 1000)) $((delay % 1000))
}

rm -rf out frames out.before frames.before
setup
killed=0
kill_within() { # milliseconds, then kgfconv's arguments as one word
    # The program itself in the background, so that the kill reaches it.
    "$kgfconv" $2 2>/dev/null &
    pid=$!
    sleep "$(random_delay "$1")"
    kill -9 $pid 2>/dev/null && killed=$((killed + 1))
    wait $pid 2>/dev/null
}
for round in 1 2 3 4 5 6 7 8 9 10 11 12; do
    kill_within "$batch_ms" "$batch_run"
    check "batch killed in round $round" state_ok out
    kill_within "$frames_ms" "$frames_run"
    check "animation killed in round $round" state_ok frames
done

echo "$killed of 24 runs were killed before they ended"
"$kgfconv" $batch_run 2>/dev/null
check "a complete batch after the kills converts" test $? -eq 0
"$kgfconv" $frames_run 2>/dev/null
check "a complete animation after the kills converts" test $? -eq 0
check "every output is complete" diff -r --exclude=notes.txt expected.out out
for name in fr000.kgf fr001.kgf; do
    check "the user's $name is intact" cmp -s "frames/$name" "frames.before/$name"
done
check "the last run removed every temporary file" test -z "$(ls -A out frames | grep '^\.~kgf')"
finish
