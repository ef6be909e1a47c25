# The bash completion that the build writes beside kgfconv, loaded the way
# bash-completion loads it from an installed tree, completes the commands,
# options, option values, setting names and values, and file names.
# Usage: completion.sh KGFCONV KGF_SAMPLES
. "$(dirname "$0")/common.inc"
completions=/usr/share/bash-completion/bash_completion
check "bash-completion is installed" test -f "$completions"
# The only folder here: the data folder that bash-completion searches.
mkdir -p folder/share/bash-completion/completions
cp "$(dirname "$kgfconv")/kgfconv.bash" folder/share/bash-completion/completions/kgfconv
export XDG_DATA_DIRS="$work/folder/share" XDG_CONFIG_HOME="$work/folder/config"

# The completions offered for a command line whose last word is being typed,
# sorted, on one line.
offered() {
    bash -c '
        . "$0" && __load_completion kgfconv || exit 1
        function=$(complete -p kgfconv | sed -n "s/.* -F \([^ ]*\) .*/\1/p")
        COMP_WORDS=("$@")
        COMP_CWORD=$(($# - 1))
        COMP_LINE="$*"
        COMP_POINT=${#COMP_LINE}
        "$function" kgfconv "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}" 2>/dev/null
        printf "%s\n" "${COMPREPLY[@]}" | LC_ALL=C sort | xargs' "$completions" "$@"
}
check "complete -p names the function" test -n "$(bash -c '. "$0" && __load_completion kgfconv &&
    complete -p kgfconv' "$completions" | grep -- '-F _kgfconv kgfconv$')"

commands=$("$kgfconv" --help | awk '/^[^ ].*:$/ { listing = ($0 == "Subcommands:"); next }
    listing && /^  [^ ]/ { print $1 }' | LC_ALL=C sort | xargs)
check "every command of --help is offered" \
    test "$(offered kgfconv '' | tr ' ' '\n' | grep -v '^-' | xargs)" = "$commands"
settings=$("$kgfconv" settings | sed -n 's/=.*/=/p' | LC_ALL=C sort | xargs)
check "every setting is offered by name" \
    test "$(offered kgfconv settings '' | tr ' ' '\n' | grep -v '^-' | xargs)" = "$settings"

# words typed | what is offered
while IFS='|' read -r typed expected; do
    # shellcheck disable=SC2086
    set -- $typed
    [ "${typed% }" = "$typed" ] || set -- "$@" ""
    check "$typed: $expected" test "$(offered kgfconv "$@")" = "$expected"
done <<'CASES'
con|convert
convert --to |kaf kgf png tga
convert --from |auto kaf kgf png tga
convert --bpp 3|32
convert --le|--levels
convert -o |folder
convert --output = |folder
convert st|stone.kgf
info --json fl|flame.kaf
settings nu|num_mipmaps=
settings bpp = |24 32
settings input_type = 2|2
settings output_dir=f|output_dir=folder
convert --suffix |
thumbnail --si|--size
thumbnail st|stone.kgf
CASES
finish
