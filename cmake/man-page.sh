#!/bin/sh
# Writes the manual page of a command-line program from its own --version and
# --help and from the --help of each subcommand its help lists, so the page
# follows the program. A hand-written roff part (exit status, files) is
# appended when given. The page carries no date: a rebuild gives the same bytes.
# Usage: man-page.sh PROGRAM NAME OUTPUT [EXTRA_ROFF]
set -e
program=$1
name=$2
output=$3
extra=$4

version=$("$program" --version)
top_help=$("$program" --help)
subcommands=$(printf '%s\n' "$top_help" | awk '
    /^[^ ].*:$/ { listing = ($0 == "Subcommands:"); next }
    listing && /^  [^ ]/ { print $1 }')

# One help text in roff. Sections ("Options:") become .SH headings on the
# main page and bold paragraph titles under a subcommand; entries ("  name
# description", the description maybe on further, deeper lines) become .TP.
to_roff() { # mode (main|sub), help text on standard input
    awk -v mode="$1" -v name="$name" '
    function escape(text) {
        gsub(/\\/, "\\e", text)
        return text
    }
    function line(text) { # a text line that roff must not take for a request
        if (text ~ /^[.'\'']/) text = "\\&" text
        print text
    }
    function entry_head(head,    words, first, rest, parts, n, i, out) {
        head = escape(head)
        first = head
        rest = ""
        if (match(head, / /)) {
            first = substr(head, 1, RSTART - 1)
            rest = substr(head, RSTART)
        }
        if (first ~ /^-/) {
            n = split(first, parts, ",")
            out = ""
            for (i = 1; i <= n; i++) {
                gsub(/-/, "\\-", parts[i])
                out = out (i > 1 ? "," : "") "\\fB" parts[i] "\\fR"
            }
            first = out
        } else if (section != "Subcommands") {
            first = "\\fI" first "\\fR"
        } else {
            first = "\\fB" first "\\fR"
        }
        return first rest
    }
    function flush() {
        if (head == "") return
        print ".TP"
        line(entry_head(head))
        line(escape(text))
        head = ""
        text = ""
    }
    BEGIN { part = "description" }
    NR == 1 && mode == "main" && index($0, name ": ") == 1 {
        line("\\fB" name "\\fR " escape(substr($0, length(name) + 3)) ".")
        next
    }
    /^Usage: / { part = "usage"; next }
    /^$/ { flush(); if (part == "description") print ".PP"; next }
    /^[^ ].*:$/ {
        flush()
        section = substr($0, 1, length($0) - 1)
        part = "section"
        if (mode == "sub") {
            print ".PP"
            print "\\fB" escape($0) "\\fR"
        } else if (section != "Subcommands") {
            print ".SH " toupper(section)
        }
        skip = (mode == "main" && section == "Subcommands")
        next
    }
    skip { next }
    part == "section" && /^  [^ ]/ {
        flush()
        entry = substr($0, 3)
        if (match(entry, /   */)) {
            head = substr(entry, 1, RSTART - 1)
            text = substr(entry, RSTART + RLENGTH)
        } else {
            head = entry
            text = ""
        }
        next
    }
    part == "section" && /^   / && head != "" {
        sub(/^ +/, "")
        text = (text == "" ? $0 : text " " $0)
        next
    }
    {
        flush()
        part = (part == "usage" ? "description" : part)
        line(escape($0))
    }
    END { flush() }'
}

usage_of() { # the usage line of a help text, with the program named as installed
    printf '%s\n' "$1" | sed -n 's/^Usage: [^ ]* *//p' | head -n 1
}

# The program describes itself as "NAME: what it does" on its first line.
summary=$(printf '%s\n' "$top_help" | head -n 1 | sed "s/^$name: //")
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
    printf '.B %s\n%s\n' "$name" "$(usage_of "$top_help")"
    for command in $subcommands; do
        help=$("$program" "$command" --help)
        printf '.br\n.B %s %s\n%s\n' "$name" "$command" "$(usage_of "$help" | sed "s/^$command *//")"
    done
    echo ".SH DESCRIPTION"
    printf '%s\n' "$top_help" | to_roff main
    if [ -n "$subcommands" ]; then
        echo ".SH COMMANDS"
        for command in $subcommands; do
            help=$("$program" "$command" --help)
            echo ".SS \"$name $command\""
            printf '%s\n' "$help" | to_roff sub
        done
    fi
    [ -z "$extra" ] || cat "$extra"
} >"$output.new"
mv "$output.new" "$output"
gzip -9 -n -c "$output" >"$output.gz"
