# kgfconv settings: printing, saving, refusing bad values, and a conversion
# that follows the saved values.
. "$(dirname "$0")/common.inc"
export XDG_CONFIG_HOME="$work/config"
ini="$XDG_CONFIG_HOME/kgf-tool/settings.ini"
here=$(pwd -P)

"$kgfconv" settings >out.txt 2>err.txt
check "printing exits 0" test $? -eq 0
printf '%s\n' "# $ini" "install_dir=$here" "input_dir=$HOME" "output_dir=$here/output" \
    input_type=1 output_type=2 bpp=24 mipmaps=0 suffix=_MM num_mipmaps=1 dither=0 srgb_mips=0 \
    alpha_mips=0 >expected.txt
check "the file and the defaults are printed" cmp -s out.txt expected.txt
check "printing saves nothing" test ! -e "$ini"

# A folder whose name ends in a blank survives the file.
"$kgfconv" settings bpp=32 mipmaps=1 suffix=_L num_mipmaps=5 "output_dir=$here/saved out " \
    >out.txt 2>err.txt
check "saving exits 0" test $? -eq 0
check "saving is silent" test ! -s out.txt -a ! -s err.txt
"$kgfconv" settings >out.txt
check "the saved values are printed" grep -qx "output_dir=$here/saved out " out.txt
check "every saved byte is printed" test "$(grep -cx 'bpp=32\|mipmaps=1\|suffix=_L\|num_mipmaps=5' out.txt)" -eq 4
cp "$ini" saved.ini

refuses() { # expected stderr line, then the arguments
    expected=$1
    shift
    "$kgfconv" settings "$@" >out.txt 2>err.txt
    check "$* exits 2" test $? -eq 2
    check "$* is named" grep -qxF "$expected" err.txt
    check "$* changes nothing" cmp -s "$ini" saved.ini
}
refuses "kgfconv: bpp=16: must be 24 or 32" suffix=_X bpp=16
refuses "kgfconv: num_mipmaps=3: must be 1 or 5" num_mipmaps=3
refuses "kgfconv: input_type=5: must be 0 to 4" input_type=5
refuses "kgfconv: suffix=ABCDEFGHIJ: longer than 9 characters" suffix=ABCDEFGHIJ
refuses "kgfconv: colour=red: unknown setting; the settings are install_dir, input_dir, \
output_dir, input_type, output_type, bpp, mipmaps, suffix, num_mipmaps, dither, srgb_mips, \
alpha_mips" colour=red
refuses "kgfconv: dither=2: must be 0 or 1" dither=2
refuses "kgfconv: bpp: expected NAME=VALUE" bpp
refuses "kgfconv: output_dir=$here/a" "output_dir=$here/a
b"
refuses "kgfconv: output_dir=: names no folder (. is the current one)" output_dir=
refuses "kgfconv: output_dir=   : names no folder (. is the current one)" "output_dir=   "
"$kgfconv" settings bpp=8 mipmaps=7 >out.txt 2>err.txt
check "every bad argument is named" test "$(wc -l <err.txt)" -eq 2

"$kgfconv" convert --to tga stone.kgf 2>err.txt
check "convert takes the saved folder, levels, suffix and depth" \
    test -f "saved out /stone_L5.tga" -a "$(od -An -tu1 -j16 -N1 "saved out /stone_L1.tga" | tr -d ' ')" -eq 32
"$kgfconv" convert --to kgf wall.tga 2>err.txt
check "convert takes the saved mip levels" test "$(levels_of "saved out /wall.kgf")" = 5

# A folder stored empty is no folder: the default is used, with a note.
printf '%s\n' "[KGF Tool]" "output_dir=" >"$ini"
"$kgfconv" convert --to kgf wall.tga 2>err.txt
check "an empty stored folder converts into the default" test -f output/wall.kgf -a ! -e wall.kgf
check "saying so" grep -qx "kgfconv: $ini: output_dir=: names no folder (. is the current one); the default $here/output is used" err.txt

# A file edited by hand, blanks around names and values.
printf '%s\n' "[KGF Tool]" "  output_dir = $here/edited  " "[KGF Tool\\tga]" " bpp = 24 " >"$ini"
"$kgfconv" convert --to tga --first-level stone.kgf 2>err.txt
check "blanks around a hand-edited value do not count" test -f edited/stone.tga
check "nor around a number" test "$(od -An -tu1 -j16 -N1 edited/stone.tga | tr -d ' ')" -eq 24

# Folders never set keep following the folder kgfconv runs in.
rm -f "$ini"
"$kgfconv" settings bpp=32 >/dev/null 2>&1
mkdir -p elsewhere
(cd elsewhere && "$kgfconv" settings) >out.txt 2>&1
check "an unset output folder is not fixed by a save" grep -qx "output_dir=$here/elsewhere/output" out.txt
check "while the value set is kept" grep -qx "bpp=32" out.txt

# A file where the settings folder should be: the save fails and says where.
: >blocked
XDG_CONFIG_HOME="$here/blocked" "$kgfconv" settings bpp=24 >out.txt 2>err.txt
check "a failed save exits 1" test $? -eq 1
check "it names the file" grep -qF "$here/blocked/kgf-tool/settings.ini" err.txt

# A pipe where the file should be is no file of settings: it is not waited on.
mkdir -p piped/kgf-tool
mkfifo piped/kgf-tool/settings.ini
XDG_CONFIG_HOME="$here/piped" timeout 10 "$kgfconv" settings >out.txt 2>err.txt
check "a pipe as the settings file gives the defaults at once" grep -qx "bpp=24" out.txt

# The stored quality options make the file --best makes; a --no- form on the
# command line turns a stored one off.
"$kgfconv" convert --to kgf --levels 5 --best -o best --quiet glass.tga
"$kgfconv" convert --to kgf --levels 5 --dither -o dithered --quiet glass.tga
"$kgfconv" settings dither=1 srgb_mips=1 alpha_mips=1 >out.txt 2>err.txt
check "the quality settings are saved" grep -qx "alpha_mips=1" "$ini"
"$kgfconv" convert --to kgf --levels 5 -o stored --quiet glass.tga
check "stored options convert as --best" cmp -s best/glass.kgf stored/glass.kgf
"$kgfconv" convert --to kgf --levels 5 --no-srgb-mips --no-alpha-mips -o undone --quiet glass.tga
check "--no- forms override stored options" cmp -s dithered/glass.kgf undone/glass.kgf

"$kgfconv" settings --help >out.txt 2>&1
check "--help exits 0" test $? -eq 0
check "--help gives the exit statuses" grep -q "^Exit status" out.txt
finish
