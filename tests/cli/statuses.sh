# Every status kgfconv can give, one row each: an input that gives it, the
# lines it prints on standard error and the exit status, written out here.
# convert's rows run between two good files at -j 1 and at -j 4, which must
# print, exit and write alike; pack writes one animation and has no -j.
# The inputs are made of bytes given as printf escapes.
# shellcheck disable=SC2059
script="$(cd "$(dirname "$0")" && pwd)/statuses.sh"
. "$(dirname "$0")/common.inc"
export XDG_CONFIG_HOME="$work/config"

# ---- The inputs ----------------------------------------------------------
cp stone.kgf last.kgf
ln -s /dev/zero zero.kgf
head -c 50 stone.kgf >cut.kgf
tga_of() { # image type, width, height, depth (printf escapes), then the pixel bytes
    printf "\\000\\000$1\\000\\000\\000\\000\\000\\000\\000\\000\\000$2$3$4\\000$5"
}
tga_of '\002' '\377\377' '\001\000' '\030' >negative.tga
tga_of '\040' '\001\000' '\001\000' '\030' '\001\002\003' >type32.tga
tga_of '\012' '\001\000' '\001\000' '\030' '\201\001\002\003' >runs.tga
tga_of '\002' '\001\000' '\001\000' '\030' '\001\002\003' >pixel.tga
tga_of '\002' '\310\000' '\001\000' '\030' >wide.tga
tga_of '\002' '\002\000' '\002\000' '\030' '\001\002\003\001\002\003\001\002\003\001\002\003' >clear.tga
# Colour-mapped, a map of one entry, the pixel's index 5.
printf '\000\001\001\000\000\001\000\030\000\000\000\000\001\000\001\000\010\000\001\002\003\005' >index.tga
kgf_of() { # filler (9 bytes), format field: a 1 x 1 texture of one level
    printf "\\000\\000zk\\000\\001$1\\001\\000\\001\\000$2\\000\\001\\200"
}
kgf_of '\000\005\000\000\000\000\000\000\000' '\040\050' >filler.kgf
kgf_of '\000\000\000\000\000\000\000\000\000' '\064\022' >field.kgf
printf '\000\000zt\000\005\000\000\000\000\000\000\000\000\000\001\000\001\000\040\050\000\001\200\000\000\000' >tiny.kgf
kaf_of good.kgf ../up.kgf >badname.kaf
kaf_of ../up.kgf a.kgf ../up2.kgf >mixed.kaf
# A bad name, then a frame of 1 x 1 pixels and two levels.
{ printf '\002'; kaf_of ../up.kgf | tail -c +2; printf '\000\000zt.kgf\000\002\000\000\000\000\000\000\000\000\000\001\000\001\000\040\050\001\037\200'; } >notes.kaf
# Long enough to convert that the files after it are held for it at -j 4.
{ tga_of '\002' '\000\004' '\000\004' '\030'; head -c 3145728 /dev/zero; } >big.tga
kaf_of twin.kgf twin.kgf >twins.kaf
head -c 17 /dev/zero >none.kaf
head -c 10 flame.kaf >cuthead.kaf
kaf_of f.kgf | head -c 40 >cutframe.kaf
kaf_colour='\037\000' kaf_of clear.kgf >clear.kaf
cp glass.tga same.TGA
mkdir in locked blocked twin many
long=abcdefghijklmnopqrstuvwxyz0123456789
for copy in first.tga notes.bmp 'a\b.tga' same.tga in/a.tga longer-name-for-path.tga "$long.tga" \
    twin/same.tga not.png; do
    cp wall.tga "$copy"
done
kaf_of "$long.kgf" >longname.kaf
cp stone.kgf in/a.kgf
cp stone.kgf a.kgf
echo old >locked/wall.kgf
chmod 444 locked/wall.kgf
mkdir -p blocked/wall.kgf/full
echo x >plain
deep=$(printf 'd%.0s' $(seq 240))
for n in $(seq 256); do cp pixel.tga "many/f$n.tga"; done
# PNG files: a 32-bit number high byte first, as printf escapes; a chunk
# with the CRC-32 that gzip's trailer holds, low byte first; a PNG of one
# IHDR (width, height, depth, colour type, compression method) and one row.
be32() { printf '\\%03o\\%03o\\%03o\\%03o' $(($1 >> 24 & 255)) $(($1 >> 16 & 255)) $(($1 >> 8 & 255)) $(($1 & 255)); }
chunk() { # type, data as printf escapes, its length
    printf "$(be32 "$3")"
    printf "$1$2" >chunk.bin
    cat chunk.bin
    # shellcheck disable=SC2046
    set -- $(gzip -c <chunk.bin | tail -c 8 | od -An -tu1 -N4)
    printf "$(printf '\\%03o\\%03o\\%03o\\%03o' "$4" "$3" "$2" "$1")"
}
png_of() {
    printf '\211PNG\r\n\032\n'
    chunk IHDR "$(be32 "$1")$(be32 "$2")$(printf '\\%03o\\%03o\\%03o' "$3" "$4" "$5")\\000\\000" 13
    chunk IDAT '\170\001\001\002\000\375\377\000\000\000\002\000\001' 13
    chunk IEND '' 0
}
png_of 1 1 8 0 0 >good.png
head -c 30 good.png >cut.png
cp good.png sum.png
printf '\001' | dd of=sum.png bs=1 seek=20 conv=notrunc 2>/dev/null
png_of 1 1 8 3 0 >nopalette.png
png_of 1 1 8 0 1 >method.png
png_of 32768 1 8 0 0 >large.png

# ---- The table -------------------------------------------------------------
# convert_row STATUS "OPTIONS" "FILES" EXIT [LINE...]: kgfconv convert
# --quiet OPTIONS first.tga FILES last.kgf prints the LINEs and exits EXIT;
# -o out unless OPTIONS name the folder.
convert_row() {
    status=$1 options=$2 files=$3 code=$4
    shift 4
    case " $options" in *" -o "*) ;; *) options="$options -o out" ;; esac
    [ $# -eq 0 ] && : >expected.txt || printf '%s\n' "$@" >expected.txt
    rm -rf out out-1
    for jobs in 1 4; do
        set -f
        # shellcheck disable=SC2086
        "$kgfconv" convert --quiet -j $jobs $options first.tga $files last.kgf 2>err.txt
        exit_status=$?
        set +f
        check "$status at -j $jobs exits $code" test "$exit_status" -eq "$code"
        check "$status at -j $jobs prints its lines" cmp -s err.txt expected.txt
        [ $jobs -eq 1 ] && [ -d out ] && mv out out-1
    done
    [ -d out-1 ] && check "$status at -j 4 writes what -j 1 writes" diff -r out-1 out
}
# pack_row STATUS "OPTIONS AND FRAMES" EXIT [LINE...]: kgfconv pack --quiet
# -o packed.kaf prints the LINEs, exits EXIT, and writes only on success.
pack_row() {
    status=$1 arguments=$2 code=$3
    shift 3
    printf '%s\n' "$@" >expected.txt
    rm -f packed.kaf
    set -f
    # shellcheck disable=SC2086
    "$kgfconv" pack --quiet -o packed.kaf $arguments 2>err.txt
    exit_status=$?
    set +f
    check "$status exits $code" test "$exit_status" -eq "$code"
    check "$status prints its line" cmp -s err.txt expected.txt
    if [ "$code" -eq 0 ]; then
        check "$status writes the animation" test -s packed.kaf
    else
        check "$status writes nothing" test ! -e packed.kaf
    fi
}

convert_row ok "--to kgf" wall.tga 0
convert_row cannot_open "--to kgf" missing.tga 1 \
    "kgfconv: missing.tga: Cannot open missing.tga: No such file or directory"
convert_row not_a_file "--to tga" zero.kgf 1 "kgfconv: zero.kgf: Not a regular file!"
convert_row missing_data "--to tga" cut.kgf 1 "kgfconv: cut.kgf: File is missing some data; do not use"
# io_error: a read the platform fails; no file here makes one fail.
convert_row bad_image_size "--to kgf" negative.tga 1 "kgfconv: negative.tga: Bad image size!"
convert_row unsupported_tga_type "--to kgf" type32.tga 1 "kgfconv: type32.tga: Unsupported TGA type!"
convert_row bad_colour_index "--to kgf" index.tga 1 "kgfconv: index.tga: Bad colour map index!"
convert_row bad_run_length "--to kgf" runs.tga 1 "kgfconv: runs.tga: Bad run-length data!"
# no_memory: a block that cannot be had; every size the readers take is had here.
convert_row bad_filler "--to tga" filler.kgf 0 "kgfconv: filler.kgf: Bad filler!"
convert_row bad_field_value "--to tga" field.kgf 0 "kgfconv: field.kgf: Bad field value!"
convert_row bad_frame_name "--to kgf" badname.kaf 1 "kgfconv: badname.kaf: Bad frame name: ../up.kgf"
convert_row path_too_long "--to kgf -o $deep" longer-name-for-path.tga 1 \
    "kgfconv: longer-name-for-path.tga: Path is too long: $deep/longer-name-for-path.kgf"
convert_row cannot_create "--to kgf -o locked" wall.tga 1 \
    "kgfconv: wall.tga: Cannot create locked/wall.kgf: Permission denied"
convert_row cannot_write "--to kgf -o blocked" wall.tga 1 \
    "kgfconv: wall.tga: Cannot write blocked/wall.kgf: Is a directory"
pack_row bad_frame_size "wall.tga wide.tga" 1 \
    "kgfconv: wide.tga: A frame is 1 to 128 pixels wide and high"
pack_row frame_name_too_long "$long.tga" 1 \
    "kgfconv: $long.tga: The frame's name exceeds 35 characters, and will not be readable by Corvane 3"
pack_row frame_name_taken "same.tga twin/same.tga" 1 \
    "kgfconv: twin/same.tga: Another frame has the same name"
pack_row bad_frame_count many 1 "kgfconv: packed.kaf: An animation holds 1 to 255 frames"
convert_row conversion_terminated "--to kgf" cuthead.kaf 1 \
    "kgfconv: cuthead.kaf: File is missing some data; do not use" \
    "kgfconv: cuthead.kaf: Conversion terminated."
convert_row unsupported_conversion "--to kgf" notes.bmp 1 "kgfconv: notes.bmp: Unsupported conversion"
convert_row replaces_input "--to kgf -o in" "in/a.tga in/a.kgf" 1 \
    "kgfconv: in/a.tga: Cannot replace in/a.kgf: it is an input of this run"
convert_row same_output "--to kgf" twins.kaf 1 \
    "kgfconv: twins.kaf: out/twin.kgf: an earlier frame has the same output name; not written"
convert_row frame_name_cut "--to kgf" longname.kaf 1 \
    "kgfconv: longname.kaf: Frame name longer than 35 characters: $long.kgf"
convert_row no_frames "--to kgf" none.kaf 1 "kgfconv: none.kaf: No frames; nothing written"
convert_row bad_output_name "--to kgf" 'a\b.tga' 1 \
    'kgfconv: a\b.tga: Not a file name inside the output folder: a\b.kgf'
convert_row earlier_output "--to kgf" "same.tga same.TGA" 1 \
    "kgfconv: same.TGA: Cannot replace out/same.kgf: an earlier file of this run wrote it"
convert_row empty_levels "--to tga --all-levels" tiny.kgf 0 \
    "kgfconv: tiny.kgf: levels 2 to 5: no pixels at this size; left out of the TGA output"
convert_row empty_png_levels "--to png --all-levels" tiny.kgf 0 \
    "kgfconv: tiny.kgf: levels 2 to 5: no pixels at this size; left out of the PNG output"
# A file's failures come after its warnings and notes, in the order met,
# those of outputs held for an earlier file in their places.
convert_row "failures in order" "--to tga" "big.tga a.kgf mixed.kaf" 1 \
    "kgfconv: mixed.kaf: Bad frame name: ../up.kgf" \
    "kgfconv: mixed.kaf: Cannot replace out/a.tga: an earlier file of this run wrote it" \
    "kgfconv: mixed.kaf: Bad frame name: ../up2.kgf"
convert_row "notes before failures" "--to tga --all-levels" notes.kaf 1 \
    "kgfconv: notes.kaf: level 2: no pixels at this size; left out of the TGA output" \
    "kgfconv: notes.kaf: Bad frame name: ../up.kgf"
pack_row frame_size_differs "wall.tga pixel.tga" 1 \
    "kgfconv: pixel.tga: 1x1, the first frame 64x32; the frames of an animation are all one size"
pack_row transparency_dropped "--like clear.kaf clear.tga" 0 \
    "kgfconv: clear.tga: a 24-bit file has no transparency, so the original frame's transparent pixels are packed opaque (split with --bpp 32 to keep them)"
convert_row frame_missing_data "--to kgf" cutframe.kaf 1 \
    "kgfconv: cutframe.kaf: Frame f.kgf is missing some data; do not use" \
    "kgfconv: cutframe.kaf: Conversion terminated."
convert_row not_png "--to kgf" not.png 1 "kgfconv: not.png: Not a PNG file!"
convert_row png_cut_short "--to kgf" cut.png 1 "kgfconv: cut.png: The PNG file is cut short!"
convert_row bad_png_checksum "--to kgf" sum.png 1 "kgfconv: sum.png: Bad PNG checksum!"
convert_row bad_png_data "--to kgf" nopalette.png 1 "kgfconv: nopalette.png: Bad PNG data!"
convert_row unsupported_png "--to kgf" method.png 1 "kgfconv: method.png: Unsupported PNG type!"
convert_row image_too_large "--to kgf" large.png 1 "kgfconv: large.png: Image too large!"
# cannot_make_folder, cannot_write_folder: the dialog's check of its output
# folder before a batch; kgfconv makes each output's folder as it writes.
convert_row folder_not_made "--to kgf -o plain/sub" wall.tga 1 \
    "kgfconv: first.tga: Cannot make the folder plain/sub for plain/sub/first.kgf: Not a directory" \
    "kgfconv: wall.tga: Cannot make the folder plain/sub for plain/sub/wall.kgf: Not a directory" \
    "kgfconv: last.kgf: Cannot make the folder plain/sub for plain/sub/last.kgf: Not a directory"

# Every status of formats/status.h has its row here, or its reason.
for status in $(sed -n 's/^    \([a-z_]*\),.*/\1/p' "$(dirname "$script")/../../formats/status.h"); do
    check "$status is in the table" grep -q "^\(convert_row \|pack_row \|#.* \)${status}[ :,]" "$script"
done
finish
