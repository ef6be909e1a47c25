# The Windows build of kgfconv under Wine: sample files, info and a
# conversion of each kind, checked against the expected text and files.
# Options the conversions rely on are given, never taken from the settings a
# run of the program or of other tests left in the prefix's registry.
# Usage: run.sh WINE_RUN KGFCONV_EXE KGF_SAMPLES_EXE
wine_run=$1
kgfconv=$2
samples_tool=$3
cli="$(cd "$(dirname "$0")/../cli" && pwd)"
. "$cli/check.inc"
. "$cli/corpus.inc"
cd "$work" || exit 1
"$wine_run" "$samples_tool" . >/dev/null 2>&1
check "the samples are written" test -f stone.kgf -a -f flame.kaf -a -f wall.tga
"$wine_run" "$kgfconv" info stone.kgf flame.kaf >info.txt 2>err.txt
check "info exits 0" test $? -eq 0
tr -d '\r' <info.txt >info-lf.txt
printf '%s\n' stone.kgf "  Type: KGF" "  Resolution: 64x64" "  Color depth: 16" "  Mipmaps: 5" \
    "  Frames: 1" flame.kaf "  Type: KAF" "  Resolution: 32x32" "  Color depth: 16" "  Mipmaps: 1" \
    "  Frames: 4" >expected.txt
check "info blocks" cmp -s info-lf.txt expected.txt
"$wine_run" "$kgfconv" convert --to tga --all-levels --suffix _MM --bpp 24 -o out \
    stone.kgf flame.kaf wall.tga >out.txt 2>err.txt
check "convert exits 0" test $? -eq 0
check "per-level files" test -f out/stone_MM5.tga
check "frames" test -f out/flame4.tga -a ! -e out/flame4.kgf
check "TGA to TGA" test -f out/wall.tga
# The frames of a split's folder pack back to the original; the other files
# of a folder would be packed as new frames after them.
mkdir frames
cp out/flame1.tga out/flame2.tga out/flame3.tga out/flame4.tga frames/
"$wine_run" "$kgfconv" pack --quiet -o back.kaf --like flame.kaf frames >out.txt 2>err.txt
check "pack exits 0" test $? -eq 0
check "the split frames pack back to the original" cmp -s back.kaf flame.kaf
head -c 50 stone.kgf >cut.kgf
mkdir dir.tga
"$wine_run" "$kgfconv" convert --to kgf -j 3 -o out2 cut.kgf dir.tga wall.tga glass.tga >out.txt 2>err.txt
check "failures make the status 1" test $? -eq 1
# A display of its own per run (no DISPLAY) says so on the way out.
tr -d '\r' <err.txt | grep -v '^X connection to ' >err-lf.txt
printf '%s\n' "kgfconv: cut.kgf: File is missing some data; do not use" \
    "kgfconv: dir.tga: Is a folder; -r converts the files below it" "[3/4] wall.tga" "[4/4] glass.tga" \
    >expected.txt
check "failures named in order, on several threads" cmp -s err-lf.txt expected.txt

# Names differing in case are one file here: an output never replaces
# another input of the run that way either.
cp stone.kgf a.kgf
cp wall.tga A.tga
"$wine_run" "$kgfconv" convert --to kgf -j 2 -o . A.tga a.kgf >out.txt 2>err.txt
check "an output over another input fails" test $? -eq 1
check "and is named" grep -q "^kgfconv: A.tga: Cannot replace .*A.kgf: it is an input of this run" err.txt
"$wine_run" "$kgfconv" info a.kgf >info.txt 2>&1
check "the input stays a 64 x 64 texture" grep -q "^  Resolution: 64x64" info.txt
"$wine_run" "$kgfconv" convert --to kaf wall.tga >out.txt 2>err.txt
check "KAF output is status 2" test $? -eq 2

# A tree whose folder and file names are spelt in the ANSI code page but not
# in ASCII: each file is found, opened and mirrored under its own name.
mkdir -p "tree/Forêt"
cp wall.tga "tree/Forêt/Écorce.tga"
cp stone.kgf "tree/pierre.kgf"
LC_ALL=C.UTF-8 "$wine_run" "$kgfconv" convert -r --to tga --bpp 24 -o mirrored tree >out.txt 2>err.txt
check "a tree with accented names converts" test $? -eq 0
check "accented names are mirrored" test -f "mirrored/Forêt/Écorce.tga" -a -f mirrored/pierre.tga
check "nothing else is made" test "$(find mirrored | wc -l)" -eq 4

# Names that no ANSI code page spells together, Cyrillic and CJK: the
# program's code page is UTF-8, so each is found, opened, mirrored and
# printed under its own name.
mkdir -p "world/Текстуры/木"
cp wall.tga "world/Текстуры/木/壁.tga"
cp stone.kgf "world/Текстуры/камень.kgf"
LC_ALL=C.UTF-8 "$wine_run" "$kgfconv" convert -r --to tga --bpp 24 -o "выход" world >out.txt 2>err.txt
check "a Cyrillic and CJK tree converts" test $? -eq 0
check "Cyrillic and CJK names are mirrored" \
    test -f "выход/Текстуры/木/壁.tga" -a -f "выход/Текстуры/камень.tga"
check "the names are printed in UTF-8" grep -q "木.壁.tga" err.txt
LC_ALL=C.UTF-8 "$wine_run" "$kgfconv" info "выход/Текстуры/木/壁.tga" >out.txt 2>err.txt
check "info reads a CJK name" test "$(head -n 1 out.txt | tr -d '\r')" = "выход/Текстуры/木/壁.tga"

# kgfconv settings against the prefix's registry. Whatever the key held
# before is put back afterwards.
key='HKCU\Software\KGF Tool'
had_key=no
if "$wine_run" reg query "$key" >/dev/null 2>&1; then
    "$wine_run" reg export "$key" before.reg /y >/dev/null 2>&1 && had_key=yes
fi
"$wine_run" "$kgfconv" settings bpp=32 >out.txt 2>err.txt
check "settings bpp=32 exits 0" test $? -eq 0
"$wine_run" reg query "$key\\tga" /v bpp >reg.txt 2>&1
check "bpp is stored as the byte 0x20" grep -q "bpp[[:space:]]*REG_BINARY[[:space:]]*20" reg.txt
"$wine_run" "$kgfconv" settings bpp=16 >out.txt 2>err.txt
check "settings bpp=16 exits 2" test $? -eq 2
"$wine_run" "$kgfconv" settings >out.txt 2>err.txt
tr -d '\r' <out.txt >out-lf.txt
check "settings names the registry key" test "$(head -n 1 out-lf.txt)" = "# HKEY_CURRENT_USER\\Software\\KGF Tool"
check "settings prints the stored bpp" grep -qx "bpp=32" out-lf.txt
"$wine_run" reg delete "$key" /f >/dev/null 2>&1
if [ "$had_key" = yes ]; then
    "$wine_run" reg import before.reg >/dev/null 2>&1
fi

# The PNG corpus gives, to KGF and to PNG, the very bytes the native
# kgfconv gives (pinned in tests/cli/png-digests.txt).
pinned_corpus "$cli" "$wine_run" "$kgfconv"

finish
