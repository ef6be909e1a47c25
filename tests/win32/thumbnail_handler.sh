# kgfthumb.dll under Wine: regsvr32 registers it for the current user and
# regsvr32 /u removes every key again (the registry read back both times);
# created by its CLSID it makes of a KGF and a KAF, at 96 pixels, the
# pixels of kgfconv thumbnail's PNG, and of damaged files an error HRESULT.
# Usage: thumbnail_handler.sh WINE_RUN KGFTHUMB_DLL CHECK_EXE KGFCONV_EXE KGF_SAMPLES_EXE
wine_run=$1
dll=$2
checker=$3
kgfconv=$4
samples_tool=$5
. "$(dirname "$0")/../cli/check.inc"
cd "$work" || exit 1
clsid='{8B97F6AD-4800-463C-936D-0557F32AFCEC}'
classes='HKCU\Software\Classes'
handler='\ShellEx\{E357FCCD-A995-4576-B01F-234630154E96}'
query() { "$wine_run" reg query "$@" 2>/dev/null | tr -d '\r'; }
# The machine-wide classes must not be touched.
machine_before=$(query "HKLM\\Software\\Classes\\CLSID\\$clsid")

"$wine_run" "$samples_tool" . >/dev/null 2>&1
"$wine_run" "$checker" write . >/dev/null 2>&1
check "the samples are written" test -f stone.kgf -a -f flame.kaf -a -f wide.kgf -a -f tall.kaf

windows_dll=$("$wine_run" winepath -w "$dll" 2>/dev/null | tr -d '\r')
"$wine_run" regsvr32 /s "$windows_dll" >/dev/null 2>&1
check "regsvr32 registers" test $? -eq 0
check "the class names the DLL" test -n "$(query "$classes\\CLSID\\$clsid\\InprocServer32" /ve |
    grep -F "$windows_dll")"
check "the class is apartment-threaded" test -n "$(query "$classes\\CLSID\\$clsid\\InprocServer32" \
    /v ThreadingModel | grep Apartment)"
for ending in kgf kaf; do
    check ".$ending names the handler" test -n "$(query "$classes\\.$ending$handler" /ve |
        grep -F "$clsid")"
done
check "nothing machine-wide" test "$(query "HKLM\\Software\\Classes\\CLSID\\$clsid")" = "$machine_before"

# The handler's bitmaps against kgfconv thumbnail's PNG files.
for file in stone.kgf flame.kaf wide.kgf tall.kaf; do
    "$wine_run" "$kgfconv" thumbnail -s 96 "$file" "$file.png" >/dev/null 2>&1
    check "kgfconv thumbnail $file" test -s "$file.png"
    "$wine_run" "$checker" same "$file" "$file.png" 96 >out.txt 2>&1
    check "the handler's 96-pixel $file is kgfconv's: $(tr -d '\r' <out.txt)" test $? -eq 0
done
head -c 60 wide.kgf >cut.kgf
head -c 200 tall.kaf >cut.kaf
printf 'not a texture at all' >text.kgf
: >empty.kaf
for file in cut.kgf cut.kaf text.kgf empty.kaf; do
    "$wine_run" "$checker" refused "$file" >out.txt 2>&1
    check "$file gives an error HRESULT: $(tr -d '\r' <out.txt)" test $? -eq 0
done

"$wine_run" regsvr32 /s /u "$windows_dll" >/dev/null 2>&1
check "regsvr32 /u unregisters" test $? -eq 0
absent() { ! "$wine_run" reg query "$1" >/dev/null 2>&1; }
check "the class is gone" absent "$classes\\CLSID\\$clsid"
for ending in kgf kaf; do
    check "the .$ending key it made is gone" absent "$classes\\.$ending"
done
"$wine_run" "$checker" refused stone.kgf >out.txt 2>&1
check "unregistered, no handler is found" grep -q 'not registered' out.txt

finish
