# kgfconv's command line: usage errors, the rule for nothing to convert,
# missing output folders, type names in any case, and the manual page.
. "$(dirname "$0")/common.inc"
export XDG_CONFIG_HOME="$work/config"

# A usage error is one line naming the program, then where help is.
main_hint="Run 'kgfconv --help' for more information."
convert_hint="Run 'kgfconv convert --help' for more information."
usage "kgfconv: bogus: unknown command; the commands are info, convert, pack, watch, settings and thumbnail" "$main_hint" bogus
usage "kgfconv: a command is required; the commands are info, convert, pack, watch, settings and thumbnail" "$main_hint"
usage "kgfconv: -j 0: takes 1 to 64, the files converted at once" "$convert_hint" convert -j 0 --to kgf wall.tga
usage "kgfconv: -j 65: takes 1 to 64, the files converted at once" "$convert_hint" convert -j 65 --to kgf wall.tga
usage "kgfconv: --to: bmp not in {kgf,tga,png,kaf}" "$convert_hint" convert --to bmp wall.tga
usage "kgfconv: FILE is required" "Run 'kgfconv info --help' for more information." info

# A usage error anywhere on the line, even after a whole command, runs
# nothing: no output written, no setting saved.
"$kgfconv" settings bpp=24 >/dev/null 2>&1
for run in "convert --to kgf -o unrun wall.tga --bogus" \
    "convert --to tga --all-levels --first-level -o unrun stone.kgf" \
    "pack -o unrun.kaf stone.kgf --bogus" "settings bpp=32 --bogus"; do
    "$kgfconv" $run >out.txt 2>err.txt
    check "$run exits 2" test $? -eq 2
    check "$run writes nothing" test ! -e unrun -a ! -e unrun.kaf -a ! -s out.txt
    rm -rf unrun unrun.kaf
done
"$kgfconv" settings >settings.txt
check "and saves no setting" grep -qx "bpp=24" settings.txt

# Type names count in any case, as endings do.
"$kgfconv" convert --to KGF --from Tga -o cased wall.tga 2>err.txt
check "--to KGF --from Tga converts" test $? -eq 0 -a -f cased/wall.kgf

# An empty -o is no folder, for convert and watch alike: nothing written.
for command in convert watch; do
    "$kgfconv" $command --to kgf -o "" wall.tga 2>err.txt
    check "$command -o '' is a usage error" test $? -eq 2 -a ! -e wall.kgf
    check "$command says why" grep -qx "kgfconv: --output: an empty name is no folder; . is the current one" err.txt
done

# A missing output folder is made with its parents, with -r or without.
"$kgfconv" convert --to kgf -o n1/a/b wall.tga 2>err.txt
check "-o n1/a/b is made without -r" test $? -eq 0 -a -f n1/a/b/wall.kgf
mkdir tree
cp stone.kgf tree/
"$kgfconv" convert -r --to tga -o n2/a/b tree 2>err.txt
check "and with -r" test $? -eq 0 -a -f n2/a/b/stone.tga

# Nothing to convert exits 2, whether named or found below a folder.
echo notes >notes.txt
mkdir plain
echo notes >plain/notes.txt
for run in "notes.txt" "-r notes.txt" "-r plain"; do
    "$kgfconv" convert --to kgf -o none $run 2>err.txt
    check "convert $run exits 2" test $? -eq 2
    check "convert $run says why" grep -qx "kgfconv: nothing to convert: no file of a type that converts" err.txt
done
check "and the -r summary still ends the run" test "$(tail -1 err.txt)" = "kgfconv: converted 0, failed 0, skipped 1"
"$kgfconv" convert --to kgf -o some notes.txt wall.tga 2>err.txt
check "a file of no type among others fails the run with 1" test $? -eq 1

# kgf_samples makes its folder.
"$samples_tool" made/here
check "kgf_samples makes a missing folder" test -f made/here/flame.kaf

# The manual page is whole without the README: it lists the JSON fields.
page=$(dirname "$kgfconv")/kgfconv.1
if [ -f "$page" ]; then
    check "the manual page lists frame_list" grep -q frame_list "$page"
    check "the manual page does not send the reader to the README" test "$(grep -c README "$page")" -eq 0
fi
finish
