# Everyday commands that must lose no file: inputs replaced during their
# own run, stored settings that cannot work, frames that land on each
# other, folders skipped, settings saves that race.
. "$(dirname "$0")/common.inc"
export XDG_CONFIG_HOME="$work/config"

# A file converted to its own type may replace itself, as in-place editors do.
cp wall.tga a.tga
"$kgfconv" convert --to tga --bpp 32 -o . a.tga 2>err.txt
check "TGA to TGA in place" test "$(od -An -tu1 -j16 -N1 a.tga | tr -d ' ')" -eq 32
# A tree whose output folder holds its own inputs: -j 2 gives what -j 1 gives.
mkdir -p mod/a/a
cp wall.tga mod/a/y.tga
"$kgfconv" convert --to tga --bpp 32 -o mod/a/a --levels 5 stone.kgf 2>/dev/null
mv mod/a/a/stone.tga mod/a/a/y.tga
for jobs in 1 2; do
    "$kgfconv" convert -r --to tga --bpp 32 -j $jobs -o mod mod/a 2>err.txt
    check "-r -j $jobs refuses the output over an input" test $? -eq 1
    check "-r -j $jobs converts the other" cmp -s mod/y.tga a.tga
    rm -f mod/y.tga
done

# Stored values that cannot work are replaced by their defaults, by name;
# what is written reads back.
ini="$XDG_CONFIG_HOME/kgf-tool/settings.ini"
mkdir -p "$(dirname "$ini")"
printf '%s\n' "[KGF Tool\\tga]" "suffix=/../../" "[KGF Tool\\kgf]" num_mipmaps=0 >"$ini"
"$kgfconv" convert --to kgf -o stored wall.tga 2>err.txt
check "num_mipmaps=0 is named" grep -qx "kgfconv: $ini: num_mipmaps=0: must be 1 or 5; the default 1 is used" err.txt
check "a stored suffix with separators is named" grep -q "^kgfconv: $ini: suffix=/../../: holds /" err.txt
check "the KGF written reads back" "$kgfconv" info stored/wall.kgf
mkdir -p out/stone
"$kgfconv" convert --to tga --all-levels --suffix '/../../' -o out stone.kgf >out.txt 2>&1
check "a suffix given with separators is a usage error" test $? -eq 2
check "and nothing lands outside the output folder" test ! -e 1.tga -a ! -e out/1.tga
long=$(printf 'o%.0s' $(seq 255))
"$kgfconv" settings "output_dir=$long" >out.txt 2>err.txt
check "a folder with no room for its separator is refused" test $? -eq 2
rm -f "$ini"

# A folder that cannot be read is named and fails; so does a name of
# nothing. The check runs as an ordinary user: root reads every folder.
as_user=""
if [ "$(id -u)" -eq 0 ]; then
    as_user="setpriv --reuid=65534 --regid=65534 --clear-groups"
    chmod 755 "$work"
fi
mkdir -p locked/open locked/shut
mkdir -m 777 unlocked
cp wall.tga locked/open/
cp wall.tga locked/shut/
chmod 000 locked/shut
if $as_user test -r locked/open/wall.tga && ! $as_user ls locked/shut >/dev/null 2>&1; then
    $as_user "$kgfconv" convert -r --to kgf -o "$work/unlocked" locked 2>err.txt
    check "an unreadable folder fails the run" test $? -eq 1
    check "it is named with the reason" grep -qx "kgfconv: locked/shut: Cannot open locked/shut: Permission denied" err.txt
    check "and counted" test "$(tail -1 err.txt)" = "kgfconv: converted 1, failed 1, skipped 0"
    $as_user "$kgfconv" convert -r --to kgf -o "$work/unlocked" locked/shut 2>err.txt
    check "an unreadable folder given fails too" test $? -eq 1
else
    echo "skipped: no ordinary user to read folders as"
fi
chmod 755 locked/shut
"$kgfconv" convert -r --to kgf nothere 2>err.txt
check "-r on nothing fails" test $? -eq 1
check "saying it is not there" grep -qx "kgfconv: nothere: Cannot open nothere: No such file or directory" err.txt

# Saves at once each succeed, and one whole set wins.
round=0
while [ $round -lt 10 ]; do
    "$kgfconv" settings bpp=32 suffix=_A 2>race1.txt &
    first=$!
    "$kgfconv" settings bpp=24 suffix=_B 2>race2.txt
    second=$?
    wait $first
    check "round $round: both saves exit 0" test $? -eq 0 -a $second -eq 0
    "$kgfconv" settings >now.txt
    check "round $round: one whole set" sh -c '{ grep -qx bpp=32 now.txt && grep -qx suffix=_A now.txt; } ||
        { grep -qx bpp=24 now.txt && grep -qx suffix=_B now.txt; }'
    round=$((round + 1))
done
check "no temporary file is left" test "$(ls "$(dirname "$ini")")" = settings.ini
# A folder set to what is today's default is kept; a link is written through.
"$kgfconv" settings "output_dir=$(pwd -P)/output" >/dev/null
mkdir -p elsewhere
(cd elsewhere && "$kgfconv" settings) >now.txt
check "a folder set to the default is kept" grep -qx "output_dir=$(pwd -P)/output" now.txt
mv "$ini" real.ini
ln -s "$work/real.ini" "$ini"
"$kgfconv" settings bpp=32 >/dev/null
check "a linked settings file stays a link" test -L "$ini"
check "and is written through" grep -qx bpp=32 real.ini
rm "$ini"
head -c 70000 /dev/zero | tr '\0' '#' >"$ini"
"$kgfconv" settings bpp=24 >out.txt 2>err.txt
check "a settings file too large to be ours is not replaced" test $? -eq 1 -a "$(wc -c <"$ini")" -eq 70000
check "and the reason is given" grep -q "larger than 65536 bytes" err.txt
rm -f "$ini"

# Output that cannot be written fails the command, with the system's reason.
for run in "info --json wall.tga" settings --help --version --bash-completion; do
    "$kgfconv" $run >/dev/full 2>err.txt
    check "$run into a full device exits 1" test $? -eq 1
    check "$run names standard output" grep -qx "kgfconv: standard output: No space left on device" err.txt
done

# A texture that declares no level holds its first all the same: every
# level it holds is written, with --all-levels as without.
printf '\000\000zk\000\000\000\000\000\000\000\000\000\000\000\001\000\001\000\040\050\001\037\200' >nolevel.kgf
for levels in --all-levels --first-level; do
    rm -rf none
    "$kgfconv" convert --quiet --to tga $levels -o none nolevel.kgf 2>err.txt
    check "no declared level, $levels: its first is written" test -s none/nolevel.tga -a ! -s err.txt
done

finish
