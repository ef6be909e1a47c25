# The commands of the README and of its guides in docs/, run block by block
# on the sample files, each block in a fresh folder (which is also its home,
# "/home/me" in the text) with no stored settings. A block is run when it
# runs kgfconv:
# - a sh block must succeed, and the files below out/ must be exactly those
#   its comments name ("out/a1.tga ... out/a5.tga" names all five);
# - a block of "$ command" lines must print what it shows below each command
#   (standard output and standard error).
# Other blocks (the synopsis, the settings file, installing a package,
# building) are not run. The links between the README and its guides must
# lead to files and headings that are there, and every guide is linked from
# the README.
root="$(cd "$(dirname "$0")/../.." && pwd)"
. "$(dirname "$0")/common.inc"

mkdir samples blocks
mv wall.tga glass.tga stone.kgf flame.kaf samples/

# Each fenced block of a text, as blocks/NAME-NN.sh or .txt.
for text in "$root/README.md" "$root"/docs/*.md; do
    awk -v blocks="$work/blocks" -v name="$(basename "$text" .md)" '
        /^```/ {
            if (!open) { open = 1; n++; kind = substr($0, 4); file = sprintf("%s/%s-%02d.%s", blocks, name, n, kind == "sh" ? "sh" : "txt"); next }
            open = 0; close(file); next
        }
        open { print > file }' "$text"
done
runs_kgfconv() {
    case $1 in
    *.sh) grep -q '^kgfconv ' "$1" ;;
    *) head -n 1 "$1" | grep -q '^\$ ' && grep -q '^\$ kgfconv ' "$1" ;;
    esac
}
# The texts that show kgfconv at work, and how many of their blocks do.
for expected in README:1 kgfconv:8 file-formats:1; do
    name=${expected%:*}
    count=0
    for block in blocks/"$name"-*; do
        if runs_kgfconv "$block"; then count=$((count + 1)); fi
    done
    check "$name.md has at least ${expected#*:} blocks to run" test "$count" -ge "${expected#*:}"
done

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
    runs_kgfconv "$block" || continue
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
        check "block $name succeeds" test "$status" -eq 0
        named_outputs "$block" >"$here.named"
        if [ -s "$here.named" ]; then
            (cd "$here" && find out -type f | sort) >"$here.written"
            check "block $name writes what it names" same "$here.named" "$here.written"
        fi
        ;;
    *)
        grep -v '^\$ ' "$block" >"$here.shown"
        sed "s|$here|/home/me|g" "$here.out" >"$here.printed"
        check "block $name prints what it shows" same "$here.shown" "$here.printed"
        ;;
    esac
done
check "every kind of block ran" test "$ran" -ge 10

# Headings as links name them: lower case, punctuation dropped, spaces as
# hyphens; lines inside fenced blocks are not headings.
anchors() {
    awk '/^```/ { open = !open; next }
        !open && /^#+ / {
            sub(/^#+ /, ""); $0 = tolower($0)
            gsub(/[^a-z0-9 _-]/, ""); gsub(/ /, "-"); print
        }' "$1"
}
# Every "](target)" outside fenced blocks, one a line.
links() {
    awk '/^```/ { open = !open; next }
        !open {
            line = $0
            while (match(line, /\]\([^)]*\)/)) {
                print substr(line, RSTART + 2, RLENGTH - 3)
                line = substr(line, RSTART + RLENGTH)
            }
        }' "$1"
}
leads_somewhere() { # the text, a link in it
    case $2 in
    http://* | https://*) return 0 ;;
    '#'*) target=$1 ;;
    *) target=$(dirname "$1")/${2%%#*} ;;
    esac
    [ -e "$target" ] || { echo "$1: $2: no such file"; return 1; }
    case $2 in
    *'#'*) anchors "$target" | grep -qxF "${2#*#}" || { echo "$1: $2: no such heading"; return 1; } ;;
    esac
}
for text in "$root/README.md" "$root"/docs/*.md; do
    links "$text" >links.txt
    while read -r link; do
        check "$(basename "$text"): the link $link leads somewhere" leads_somewhere "$text" "$link"
    done <links.txt
done
for guide in "$root"/docs/*.md; do
    check "the README links to docs/$(basename "$guide")" grep -qF "](docs/$(basename "$guide")" "$root/README.md"
done
finish
