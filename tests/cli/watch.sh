# kgfconv watch on real folders, as a running process: what is out of date
# first, then saves in every way editors save, once each; the editors' and
# the program's own files left alone; folders followed; a failure named and
# watching going on; the output guard; a burst; a split repacked; Ctrl+C in
# the middle of conversions; a watched folder deleted. Nothing here depends
# on time: every outcome is waited for, within generous bounds.
# Usage: watch.sh KGFCONV KGF_SAMPLES [RUNNER] (RUNNER: Wine, for the .exe)
kgfconv_program=$1
samples_program=$2
runner=$3
. "$(dirname "$0")/check.inc"
watcher=
cleanup() {
    [ -n "$watcher" ] && kill -KILL "$watcher" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
kgfconv() { $runner "$kgfconv_program" "$@"; }
cd "$work" || exit 1
$runner "$samples_program" . >/dev/null 2>&1
[ -f wall.tga ] || { echo "could not make the samples"; exit 1; }
export XDG_CONFIG_HOME="$work/config"

# Polls until the command succeeds, for at most a minute.
wait_for() {
    tries=0
    while ! "$@"; do
        tries=$((tries + 1))
        [ "$tries" -ge 600 ] && return 1
        sleep 0.1
    done
}
# The lines of the log (without the carriage returns of Windows), and how
# many of them say that FILE (a path with / or \) was converted.
lines() { tr -d '\r' <log | tr '\\' '/'; }
converted() { lines | grep -c "^\[[0-9][0-9]:[0-9][0-9]:[0-9][0-9]\] $1\$"; }
converted_times() { test "$(converted "$1")" -eq "$2"; }
said() { lines | grep -q "$1"; }
start_watch() { # options and folders
    : >log
    marks=0
    # The program itself in the background, so that signals reach it.
    $runner "$kgfconv_program" watch "$@" 2>log &
    watcher=$!
    wait_for said "^kgfconv: watching "
}
stop_watch() { # the exit status expected
    kill -INT "$watcher"
    wait "$watcher"
    status=$?
    watcher=
    test "$status" -eq "$1"
}
# The KGF that convert writes of a picture under a name.
reference() { # picture, name, then convert's options
    picture=$1
    name=$2
    shift 2
    rm -rf ref
    mkdir ref
    cp "$picture" "ref/$name"
    kgfconv convert --quiet --to kgf "$@" -o ref "ref/$name" 2>/dev/null
}
# A save of another file whose line comes after every earlier save's.
mark() {
    marks=$((marks + 1))
    cp glass.tga src/mark.tga
    check "the mark's save $marks is converted" wait_for converted_times src/mark.tga "$marks"
}
converted_once() { # a save of wall.tga, its output, the conversions of it in all
    check "$1 is converted" wait_for cmp -s out/wall.kgf "$2"
    mark
    check "$1: once" converted_times src/wall.tga "$3"
}

# What is out of date is converted first; an output newer than its input is
# kept. Then each way of saving converts the file once, as convert does.
mkdir src out
cp wall.tga src/wall.tga
cp glass.tga src/glass.tga
echo "newer than glass.tga" >out/glass.kgf
touch -d '2 seconds' out/glass.kgf 2>/dev/null || touch out/glass.kgf
start_watch --to kgf --levels 5 -j 2 -o out src
check "an output missing is converted first" converted_times src/wall.tga 1
check "an output up to date is not" converted_times src/glass.tga 0
check "and keeps what it held" grep -q "newer than" out/glass.kgf
reference wall.tga wall.tga --levels 5
check "the output is convert's" cmp -s out/wall.kgf ref/wall.kgf
reference glass.tga wall.tga --levels 5
cp ref/wall.kgf expected.kgf

# Written in place.
cat glass.tga >src/wall.tga
converted_once "a save in place" expected.kgf 2
# A temporary file renamed over the original, as most editors save.
cp wall.tga src/wall.tga.tmp
mv src/wall.tga.tmp src/wall.tga
reference wall.tga wall.tga --levels 5
converted_once "a temporary file renamed over it" ref/wall.kgf 3
# Deleted, then made anew.
rm src/wall.tga
cp glass.tga src/wall.tga
converted_once "a file deleted and made again" expected.kgf 4
# In several writes with a pause longer than the settle time between them,
# open all along, then closed and opened again: a half file is never
# converted, and its failure to read is not said.
{
    head -c 500 wall.tga
    sleep 0.6
    tail -c +501 wall.tga
} >src/wall.tga
head -c 500 glass.tga >src/wall.tga
sleep 0.6
tail -c +501 glass.tga >>src/wall.tga
check "a file written in several writes is converted" wait_for cmp -s out/wall.kgf expected.kgf
mark
check "a half-written file never fails by name" test "$(lines | grep -c 'wall.tga: ')" -eq 0
# The editors' own files, with endings that convert, are left alone.
cp wall.tga src/.wall.tga.swp.tga
cp wall.tga "src/~wall.tga"
cp wall.tga "src/#wall.tga#"
mark
check "the editors' files are left alone" test "$(lines | grep -c '[.~#]wall')" -eq 0
check "and give no output" test ! -e out/.wall.tga.swp.kgf -a ! -e "out/~wall.kgf"
# A failure is named, and watching goes on.
head -c 30 wall.tga >src/bad.tga
check "a file that cannot be read is named" \
    wait_for said "^kgfconv: src/bad.tga: File is missing some data; do not use$"
cp wall.tga src/late.tga
check "and watching goes on" wait_for converted_times src/late.tga 1
check "Ctrl+C ends watching with status 0" stop_watch 0
check "no temporary file is left" test -z "$(ls -A out | grep '^\.~kgf')"

# The output folder inside the watched folder never triggers; files saved
# in folders made, renamed and deleted below are followed with -r.
rm -rf src out
mkdir -p src/walls
cp wall.tga src/walls/brick.tga
start_watch -r --to kgf -o src/out src
check "a tree is brought up to date" test -f src/out/walls/brick.kgf
mkdir src/new
cp wall.tga src/new/a.tga
check "a file in a folder made later is converted" wait_for test -f src/out/new/a.kgf
mv src/new src/renamed
check "a folder renamed is followed" wait_for test -f src/out/renamed/a.kgf
cp glass.tga src/renamed/b.tga
check "and a file saved in it" wait_for test -f src/out/renamed/b.kgf
rm -rf src/walls
mark
check "the outputs never trigger" test "$(lines | grep -c 'src/out/')" -eq 0
check "a folder deleted below is no failure" test "$(lines | grep -c '^kgfconv: ')" -eq 1
cp flame.kaf src/renamed/fire.kaf
check "an animation saved gives its frames" wait_for test -f src/out/renamed/flame4.kgf
check "Ctrl+C ends a tree's watch with status 0" stop_watch 0
start_watch -r --to kgf -o src/out src
check "started again, nothing up to date is converted" test "$(lines | grep -c '^\[')" -eq 0
check "and it ends with status 0" stop_watch 0

# The output guard: a file of another folder never replaces an output that
# a file of the first folder wrote.
rm -rf a b out
mkdir a b out
cp wall.tga a/x.tga
cp glass.tga b/x.tga
kgfconv convert --quiet --to kgf -o out a/x.tga 2>/dev/null
cp out/x.kgf first.kgf
touch -d '2 seconds' out/x.kgf 2>/dev/null
start_watch --to kgf -o out a b
touch b/x.tga
check "another input's output is not replaced, by name" \
    wait_for said "^kgfconv: b/x.tga: Cannot replace out/x.kgf: an earlier file of this run wrote it$"
check "the output stays the first file's" cmp -s out/x.kgf first.kgf
check "the guard's watch ends with status 0" stop_watch 0

# A burst of 1,000 saves at once: each converted exactly once.
rm -rf src out
mkdir src out burst
{ printf '\0\0\2\0\0\0\0\0\0\0\0\0\4\0\4\0\30\0'; head -c 48 /dev/zero; } >tiny.tga
i=0
while [ $i -lt 1000 ]; do
    cp tiny.tga "burst/t$i.tga"
    i=$((i + 1))
done
start_watch --to kgf -j 4 -o out src
mv burst/* src/
burst_outputs() { test "$(ls out | grep -c '^t[0-9]*\.kgf$')" -eq 1000; }
check "a burst of 1,000 saves is converted" wait_for burst_outputs
mark
check "each file once" test "$(lines | grep -c '^\[.*\] src/t[0-9]*\.tga$')" -eq 1000 -a \
    "$(lines | grep '^\[.*\] src/t[0-9]*\.tga$' | sort -u | wc -l)" -eq 1000
check "without a failure" test "$(lines | grep -c '^kgfconv: ')" -eq 1
check "the burst's watch ends with status 0" stop_watch 0

# The frames of a split, one edited: the animation is packed again into
# the output folder under the original's name, as pack --like packs it.
rm -rf frames game
kgfconv convert --quiet --to tga --bpp 32 -o frames flame.kaf 2>/dev/null
start_watch --to kgf --like flame.kaf -o game frames
check "the split is packed first" wait_for test -f game/flame.kaf
check "unchanged, as the original" cmp -s game/flame.kaf flame.kaf
check "no frame is converted on its own" test ! -e game/flame1.kgf
printf '\000\000\000\377' | dd of=frames/flame3.tga bs=1 seek=18 conv=notrunc 2>/dev/null
kgfconv pack --quiet -o expected.kaf --like flame.kaf frames 2>/dev/null
check "a frame edited packs the animation again" wait_for cmp -s game/flame.kaf expected.kaf
check "with a line for it" wait_for said "^\[[0-9:]*\] game/flame.kaf: 4 frames: 1 encoded"
check "the split's watch ends with status 0" stop_watch 0

# Ctrl+C in the middle of conversions: those begun are finished, no other
# is begun, and nothing is left half-written. The inputs are many and each
# is slow to convert (--best on a large picture; links, so they take no
# room), so that the signal comes long before the last: a plain conversion
# of sixteen such files takes a tenth of a second here, less than the time
# the test takes to see the first line.
rm -rf src out
mkdir src out
{ printf '\0\0\2\0\0\0\0\0\0\0\0\0\0\4\0\4\40\10'; head -c 4194304 /dev/urandom; } >big.tga
for i in $(seq 10 73); do ln big.tga "src/b$i.tga" 2>/dev/null || cp big.tga "src/b$i.tga"; done
reference big.tga b10.tga --levels 5 --best
: >log
$runner "$kgfconv_program" watch --to kgf --levels 5 --best -j 2 -o out src 2>log &
watcher=$!
wait_for said "^\[.*\] src/b"
check "Ctrl+C in the middle of conversions ends with status 0" stop_watch 0
check "it ended before all were converted" test "$(ls out | wc -l)" -lt 64
check "no temporary file is left" test -z "$(ls -A out | grep '^\.~kgf')"
whole=yes
for output in out/*.kgf; do
    [ -e "$output" ] || continue
    # Every output whole: the same as convert's but for the name inside.
    cmp -s -i 12 "$output" ref/b10.kgf || whole=no
done
check "every output is whole" test "$whole" = yes

# A watched folder deleted: named, and watching ends with status 1.
rm -rf src
mkdir src
start_watch --to kgf -o out src
rm -rf src
wait "$watcher"
status=$?
watcher=
check "a deleted folder ends watching with status 1" test "$status" -eq 1
check "naming it" said "^kgfconv: src: the watched folder is gone; watching ends$"

# Only folders are watched.
kgfconv watch --to kgf -o out wall.tga 2>err.txt
check "a file to watch is a usage error" test $? -eq 2
check "named" grep -q "^kgfconv: wall.tga: Not a folder" err.txt

finish
