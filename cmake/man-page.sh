#!/bin/sh
# Writes the manual page of a command-line program from its own --version and
# --help and from the --help of each subcommand its help lists, so the page
# follows the program. A hand-written roff part (files, copyright) is
# appended when given. The page carries no date: a rebuild gives the same bytes.
# Usage: man-page.sh PROGRAM NAME OUTPUT [EXTRA_ROFF]
set -e
program=$1
name=$2
output=$3
extra=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

version=$("$program" --version)
"$program" --help >"$work/help"
subcommands=$(awk '
    /^[^ ].*:$/ { listing = ($0 == "Subcommands:"); next }
    listing && /^  [^ ]/ { print $1 }' "$work/help")

# One help text in roff. Headings ("Options:", "Exit status:") become .SH on
# the main page and bold titles under a subcommand, where the list of
# subcommands is replaced by the COMMANDS file. Entries ("  name  text", the
# text maybe on deeper lines below) become .TP; other paragraphs stay text.
to_roff() { # mode (main|sub), help file, COMMANDS file
    awk -v mode="$1" -v name="$name" -v commands="$3" '
    function escape(text) {
        gsub(/\\/, "\\e", text)
        return text
    }
    function line(text) { # a text line that roff must not take for a request
        if (text ~ /^[.'\'']/) text = "\\&" text
        print text
    }
    function entry_head(head,    first, rest, parts, n, i) {
        head = escape(head)
        first = head
        rest = ""
        if (match(head, / /)) {
            first = substr(head, 1, RSTART - 1)
            rest = substr(head, RSTART)
        }
        if (first ~ /^-/) {
            n = split(first, parts, ",")
            first = ""
            for (i = 1; i <= n; i++) {
                gsub(/-/, "\\-", parts[i])
                first = first (i > 1 ? "," : "") "\\fB" parts[i] "\\fR"
            }
            gsub(/-/, "\\-", rest) # option names and ranges behind it
            return first rest
        }
        if (section == "Positionals") return "\\fI" first "\\fR" rest
        return "\\fB" head "\\fR"
    }
    function flush() {
        if (head == "") return
        print ".TP"
        line(entry_head(head))
        line(escape(text))
        head = ""
        text = ""
        listed = 1
    }
    NR == 1 && mode == "main" && index($0, name ": ") == 1 {
        line("\\fB" name "\\fR " escape(substr($0, length(name) + 3)) ".")
        next
    }
    /^Usage: / { body = 1; next }
    /^$/ { flush(); skip = 0; fresh = 1; next }
    skip { next }
    body && fresh && /^[^ ].*:$/ && split($0, words, " ") <= 3 {
        section = substr($0, 1, length($0) - 1)
        fresh = 0
        listed = 0
        if (mode == "sub") {
            print ".PP"
            print "\\fB" escape($0) "\\fR"
        } else if (section == "Subcommands") {
            print ".SH COMMANDS"
            while ((getline roff < commands) > 0) print roff
            skip = 1
        } else {
            print ".SH \"" toupper(section) "\""
        }
        next
    }
    body && /^  [^ ]/ {
        flush()
        entry = substr($0, 3)
        text = ""
        head = entry
        if (match(entry, /   */)) {
            head = substr(entry, 1, RSTART - 1)
            text = substr(entry, RSTART + RLENGTH)
        }
        fresh = 0
        next
    }
    /^   / && head != "" {
        sub(/^ +/, "")
        text = (text == "" ? $0 : text " " $0)
        next
    }
    {
        flush()
        if (fresh || listed) print ".PP"
        fresh = 0
        listed = 0
        line(escape($0))
    }
    END { flush() }' "$2"
}

usage_of() { # the usage line of a help file, with the program named as installed
    sed -n 's/^Usage: [^ ]* *//p' "$1" | head -n 1
}

# Each subcommand's help repeats what the main help ends with (the exit
# status): paragraphs that the main help holds are left out below it.
: >"$work/commands"
for command in $subcommands; do
    "$program" "$command" --help >"$work/$command.full"
    awk 'NR == FNR { main[$0] = 1; next } !($0 in main) { print; print "" }' RS= \
        "$work/help" "$work/$command.full" >"$work/$command"
    echo ".SS \"$name $command\"" >>"$work/commands"
    to_roff sub "$work/$command" >>"$work/commands"
done

# The program describes itself as "NAME: what it does" on its first line.
summary=$(head -n 1 "$work/help" | sed "s/^$name: //")
case $summary in Usage:*) summary="$name" ;; esac
title=$(printf '%s' "$name" | tr '[:lower:]' '[:upper:]')
product=$(printf '%s\n' "$version" | sed -n 's/.*(\(.*\)) \(.*\)$/\1 \2/p')
[ -n "$product" ] || product=$version

{
    echo ".\\\" Made by man-page.sh from the help of $version; do not edit."
    echo ".TH $title 1 \"\" \"$product\" \"User Commands\""
    echo ".SH NAME"
    echo "$name \\- $summary" | sed 's/^[.'\'']/\\\&&/'
    echo ".SH SYNOPSIS"
    printf '.B %s\n%s\n' "$name" "$(usage_of "$work/help")"
    for command in $subcommands; do
        printf '.br\n.B %s %s\n%s\n' "$name" "$command" \
            "$(usage_of "$work/$command.full" | sed "s/^$command *//")"
    done
    echo ".SH DESCRIPTION"
    to_roff main "$work/help" "$work/commands"
    [ -z "$extra" ] || cat "$extra"
} >"$output.new"
mv "$output.new" "$output"
gzip -9 -n -c "$output" >"$output.gz"
