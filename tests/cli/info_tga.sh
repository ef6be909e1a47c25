# kgfconv info on a TGA layout other programs write: the picture's real size
# and the depth it is read at.
. "$(dirname "$0")/common.inc"

# 2 x 2, colour-mapped with one 32-bit entry, run-length, top-left.
printf '\000\001\011\000\000\001\000\040\000\000\000\000\002\000\002\000\010\040\001\002\003\004\203\000' >mapped.tga
"$kgfconv" info mapped.tga >out.txt 2>err.txt
check "info exits 0" test $? -eq 0
printf 'mapped.tga\n  Type: TGA\n  Resolution: 2x2\n  Color depth: 32\n  Mipmaps: 1\n  Frames: 1\n' >expected.txt
check "info block" cmp -s out.txt expected.txt
check "no messages" test ! -s err.txt
finish
