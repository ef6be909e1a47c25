# The README's "Using kgfconv" section, run block by block on the sample
# files, each block in a fresh folder (which is also its home, "/home/me" in
# the text) with no stored settings:
# - a sh block must succeed, and the files below out/ must be exactly those
#   its comments name ("out/a1.tga ... out/a5.tga" names all five);
# - a block of "$ command" lines must print what it shows below each command
#   (standard output and standard error).
# Other blocks (the synopsis, the settings file) are not run.
readme="$(cd "$(dirname "$0")/../.." && pwd)/README.md"
. "$(dirname "$0")/common.inc"

mkdir samples blocks
mv wall.tga glass.tga stone.kgf flame.kaf samples/

awk -v blocks="$work/blocks" '
    /^## / { inside = ($0 == "## Using kgfconv") }
    !inside { next }
    /^```/ {
        if (!open) { open = 1; n++; kind = substr($0, 4); file = sprintf("%s/%02d.%s", blocks, n, kind == "sh" ? "sh" : "txt"); next }
        open = 0; close(file); next
    }
    open { print > file }' "$readme"
check "the section has blocks to run" test "$(ls blocks | wc -l)" -ge 8

# The out/ paths a block's comments name, "A1.x ... A5.x" spelt out.
named_outputs() {
    sed -n 's/^ *# *//p' "$1" | tr ' ' '\n' | sed 's/[,;:]$//' | awk '
        function split_number(path) { # stem, number and ending of ".../a12.tga"
            if (!match(path, /[0-9]+\.[a-z]+$/)) return 0
            stem = substr(path, 1, RSTART - 1)
            rest = substr(path, RSTART)
            number = substr(rest, 1, index(rest, ".") - 1) + 0
            ending = substr(rest, index(rest, "."))
            return 1
        }
        $0 == "..." { pending = 1; next }
        /^out\// {
            if (pending && split_number(last)) {
                from = number; first_stem = stem; first_ending = ending
                if (split_number($0) && stem == first_stem && ending == first_ending)
                    for (i = from + 1; i < number; i++) print stem i ending
            }
            print
            last = $0
        }
        { pending = 0 }' | sort -u
}
same() { cmp -s "$1" "$2" || { diff "$1" "$2"; return 1; }; }

ran=0
for block in blocks/*; do
    name=$(basename "$block")
    case $block in
    *.sh) ;;
    *) head -n 1 "$block" | grep -q '^\$ ' || continue ;;
    esac
    here="$work/run-$name"
    mkdir "$here"
    cp samples/* "$here/"
    {
        echo "kgfconv() { \"$kgfconv\" \"\$@\"; }"
        case $block in
        *.sh) echo "set -e"; cat "$block" ;;
        *) sed -n 's/^\$ \(.*\)/\1 2>\&1/p' "$block" ;;
        esac
    } >"$here.script"
    (cd "$here" && HOME="$here" XDG_CONFIG_HOME= sh "$here.script") >"$here.out" 2>&1
    status=$?
    ran=$((ran + 1))
    case $block in
    *.sh)
        check "README block $name succeeds" test "$status" -eq 0
        named_outputs "$block" >"$here.named"
        if [ -s "$here.named" ]; then
            (cd "$here" && find out -type f | sort) >"$here.written"
            check "README block $name writes what it names" same "$here.named" "$here.written"
        fi
        ;;
    *)
        grep -v '^\$ ' "$block" >"$here.shown"
        sed "s|$here|/home/me|g" "$here.out" >"$here.printed"
        check "README block $name prints what it shows" same "$here.shown" "$here.printed"
        ;;
    esac
done
check "every kind of block ran" test "$ran" -ge 7
finish
