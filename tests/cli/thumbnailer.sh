# The Linux desktop files: the .thumbnailer's Exec line run as a file manager
# runs it (split into words, %s %i %o put in, no shell), its PNG read back;
# and xdg-mime naming the two types after update-mime-database has taken the
# package file into a data folder of the test's own.
desktop="$(cd "$(dirname "$0")/../../resources/linux" && pwd)"
. "$(dirname "$0")/common.inc"
thumbnailer="$desktop/kgfconv.thumbnailer"

check "the thumbnailer is a [Thumbnailer Entry]" test "$(head -n 1 "$thumbnailer")" = "[Thumbnailer Entry]"
check "it is for the two types" \
    test "$(sed -n 's/^MimeType=//p' "$thumbnailer")" = "image/x-kgf;image/x-kaf;"
exec_line=$(sed -n 's/^Exec=//p' "$thumbnailer")
check "it runs kgfconv thumbnail" test "$exec_line" = "kgfconv thumbnail -s %s %i %o"
mkdir bin
ln -s "$kgfconv" bin/kgfconv

# Runs the Exec line for size, input and output as a file manager does.
run_thumbnailer() {
    size=$1 input=$2 output=$3
    set -f
    # shellcheck disable=SC2086
    set -- $exec_line
    set +f
    for word in "$@"; do
        case $word in
        %s) word=$size ;; %i) word=$input ;; %o) word=$output ;;
        esac
        set -- "$@" "$word"
        shift
    done
    PATH="$work/bin:/usr/bin:/bin" "$@"
}

mkdir "mod folder" tmp
cp stone.kgf "mod folder/rock wall.kgf"
cp flame.kaf "mod folder/FIRE.KAF"
# file, size, the thumbnail's resolution
while IFS='|' read -r file size expected; do
    rm -f tmp/out.png
    run_thumbnailer "$size" "$work/mod folder/$file" "$work/tmp/out.png" 2>err.txt
    check "$file at $size: exit 0" test $? -eq 0
    check "$file at $size: the PNG reads back at $expected" test "$(size_of tmp/out.png)" = "$expected"
done <<'CASES'
rock wall.kgf|128|64x64
rock wall.kgf|32|32x32
FIRE.KAF|256|32x32
FIRE.KAF|16|16x16
CASES
# Older file managers hand over a temporary file of their own, made empty.
: >tmp/thumbnail-XXXXXX
run_thumbnailer 16 "$work/mod folder/rock wall.kgf" "$work/tmp/thumbnail-XXXXXX"
cp tmp/thumbnail-XXXXXX tmp/made.png
check "an empty temporary file is filled" test "$(size_of tmp/made.png)" = 16x16
printf 'not a texture' >"mod folder/broken.kgf"
rm -f tmp/out.png
run_thumbnailer 128 "$work/mod folder/broken.kgf" "$work/tmp/out.png" 2>/dev/null
check "a broken file: exit 1" test $? -eq 1
check "a broken file: no PNG" test ! -e tmp/out.png

# The types, as xdg-mime names them from a data folder of the test's own.
if command -v update-mime-database >/dev/null && command -v xdg-mime >/dev/null; then
    export XDG_DATA_HOME="$work/data" XDG_DATA_DIRS="$work/none"
    mkdir -p data/mime/packages
    cp "$desktop/kgfconv.xml" data/mime/packages/
    check "update-mime-database takes the package file" update-mime-database "$work/data/mime"
    cp stone.kgf "mod folder/no ending"
    # file | type
    while IFS='|' read -r file expected; do
        check "xdg-mime: $file is $expected" \
            test "$(xdg-mime query filetype "$work/mod folder/$file" 2>&1)" = "$expected"
    done <<'CASES'
rock wall.kgf|image/x-kgf
FIRE.KAF|image/x-kaf
no ending|image/x-kgf
CASES
else
    echo "FAILED: update-mime-database and xdg-mime are needed (tools/setup-debian)"
    failures=$((failures + 1))
fi
finish
