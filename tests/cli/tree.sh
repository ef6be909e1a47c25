# kgfconv convert -r on a real tree, info --json, and the progress bar.
. "$(dirname "$0")/common.inc"
export XDG_CONFIG_HOME="$work/config"

mkdir -p mod/textures/walls mod/anims mod/empty
cp wall.tga mod/textures/walls/brick.tga
cp glass.tga mod/textures/Glass.TGA
cp stone.kgf mod/textures/stone.kgf
cp flame.kaf mod/anims/fire.kaf
echo notes >mod/readme.txt
ln -s "$work/wall.tga" mod/outside.tga
ln -s textures/walls/brick.tga mod/inside.tga
ln -s .. mod/anims/up
ln -s ../textures mod/anims/loop.tga

"$kgfconv" convert -r --to tga -j 1 -o out mod 2>err.txt
check "a tree converts with status 0" test $? -eq 0
check "every file lands where the tree has it" test "$(cd out && find . -type f | sort | tr '\n' ' ')" = \
    "./anims/flame1.tga ./anims/flame2.tga ./anims/flame3.tga ./anims/flame4.tga ./inside.tga ./textures/Glass.tga ./textures/stone.tga ./textures/walls/brick.tga "
check "no folder without output is made" test ! -e out/empty
check "the run ends with the counts" test "$(tail -1 err.txt)" = "kgfconv: converted 5, failed 0, skipped 4"
check "progress names the file's place" grep -qx "\[5/5\] mod/textures/walls/brick.tga" err.txt

head -c 40 stone.kgf >mod/textures/cut.kgf
"$kgfconv" convert -r --to kgf -j 1 -o one mod 2>one.txt
check "a failing file makes the status 1" test $? -eq 1
check "it is named with its place" grep -qx "kgfconv: mod/textures/cut.kgf: File is missing some data; do not use" one.txt
check "and counted" test "$(tail -1 one.txt)" = "kgfconv: converted 5, failed 1, skipped 4"
"$kgfconv" convert -r --to kgf -j 4 -o four mod/ 2>four.txt
check "-j 4 and a trailing separator give what -j 1 gives" diff -r one four
check "with the same lines" cmp -s one.txt four.txt

"$kgfconv" convert -r --to kgf -o mod/out mod 2>/dev/null
"$kgfconv" convert -r --to kgf -o mod/out mod 2>err.txt
check "an output folder inside the tree is not converted again" \
    test "$(tail -1 err.txt)" = "kgfconv: converted 5, failed 1, skipped 4"
rm -rf mod/out

"$kgfconv" convert --to tga -o plain mod 2>err.txt
check "a folder without -r is refused" test $? -ne 0
check "by name" grep -qx "kgfconv: mod: Is a folder; -r converts the files below it" err.txt

# info --json: one array in argument order; names escaped; failures as text.
cp wall.tga 'q"uote\x.tga'
head -c 30 stone.kgf >cut.kgf
echo "not a picture" >notes.txt
"$kgfconv" info --json 'q"uote\x.tga' flame.kaf cut.kgf notes.bmp notes.txt >out.json 2>err.txt
check "info --json fails with status 1 when a file fails" test $? -eq 1
cat >expected.json <<'END'
[
  {
    "file": "q\"uote\\x.tga",
    "type": "TGA",
    "width": 64,
    "height": 32,
    "depth": 24,
    "mipmaps": 1,
    "frames": 1
  },
  {
    "file": "flame.kaf",
    "type": "KAF",
    "width": 32,
    "height": 32,
    "depth": 16,
    "mipmaps": 1,
    "frames": 4,
    "frame_list": [
      {
        "name": "flame1.kgf",
        "width": 32,
        "height": 32,
        "mipmaps": 1
      },
      {
        "name": "flame2.kgf",
        "width": 32,
        "height": 32,
        "mipmaps": 1
      },
      {
        "name": "flame3.kgf",
        "width": 32,
        "height": 32,
        "mipmaps": 1
      },
      {
        "name": "flame4.kgf",
        "width": 32,
        "height": 32,
        "mipmaps": 1
      }
    ]
  },
  {
    "file": "cut.kgf",
    "error": "File is missing some data; do not use"
  },
  {
    "file": "notes.bmp",
    "error": "Cannot open notes.bmp: No such file or directory"
  },
  {
    "file": "notes.txt",
    "error": "Unsupported file type"
  }
]
END
check "info --json prints the documented objects" cmp -s out.json expected.json
check "and nothing on standard error" test ! -s err.txt
cp wall.tga "$(printf 'bad\377.tga')"
"$kgfconv" info --json "$(printf 'bad\377.tga')" >out.json 2>&1
check "a name that is not UTF-8 is written as valid JSON" grep -q "\"file\": \"bad$(printf '\357\277\275').tga\"" out.json

# The progress bar: on a terminal, for more than a handful of files.
if command -v script >/dev/null 2>&1; then
    script -qec "\"$kgfconv\" convert -r --to kgf -j 1 -o bar mod" /dev/null >tty.txt 2>&1
    check "a terminal gets one updating line" grep -q "$(printf '\r')kgfconv: \[#*\.*\] 6/6 files, 1 failed" tty.txt
    tr '\r' '\n' <tty.txt | sed 's/ *$//' >lines.txt
    check "errors show on lines of their own" grep -qx "kgfconv: mod/textures/cut.kgf: File is missing some data; do not use" lines.txt
    check "no per-file lines then" test "$(grep -c '^\[' tty.txt)" -eq 0
    script -qec "\"$kgfconv\" convert -r --quiet --to kgf -j 1 -o quiet mod" /dev/null >tty.txt 2>&1
    check "--quiet shows no bar" test "$(grep -c 'files,' tty.txt)" -eq 0
else
    echo "skipped: the progress bar check needs script (bsdutils)"
fi
finish
