#!/usr/bin/env bash
# The man pages read as man pages: man renders them without a warning, the
# sections come in the usual order, whatis finds the name line, and every
# option, command and example that a program's --help prints stands in its
# page, each example on a line of its own. Each help (of a program and of
# each command) ends with status 0, starts with its usage line and gives
# every option an example.
#   manpages.sh MAN-FOLDER TELVARO-CLI TELVARO-DEVSIM
set -uo pipefail
folder="$1"
failed=0
fail() { echo "FAIL: $*"; failed=1; }

render() { LC_ALL=C.UTF-8 MANWIDTH=400 man -E UTF-8 -l -Tutf8 "$1" 2>/dev/null | col -bx; }

# Lines indented by two blanks under "HEADING:" in a help text.
entries() { awk -v h="$1:" '$0 == h {on = 1; next} /^$/ {on = 0} on && /^  [^ ]/' | sed 's/^  //'; }

check_page() {
    local page="$folder/$1.1" sections="$2"
    [ -f "$page" ] || { fail "$page is missing"; return; }
    local warnings
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$1.1: man warns: $warnings"
    local headings
    headings=$(render "$page" | grep -E '^[A-Z][A-Z ]+$' | tr '\n' '|')
    [ "$headings" = "$sections|" ] || fail "$1.1: sections are $headings, not $sections"
    lexgrog "$page" | grep -q "\"$1 - " || fail "$1.1: whatis does not find \"$1 - ...\""
}

# A help text starts with its usage line and gives every option an
# example; every option is a tagged paragraph of the page, every example a
# line of its EXAMPLES.
check_help() {
    local name="$1" help="$2" text="$3"
    [[ $help == "Usage: $name "* ]] || fail "$name: the help does not start with \"Usage: $name\""
    local bare
    bare=$(awk '/^Options:$/ {on = 1; next} on && (/^$/ || /^  -/) {if (o != "" && !e) print o; o = ""; e = 0}
        /^$/ {on = 0} on && /^  -/ {o = $1} on && /Example:/ {e = 1} END {if (o != "" && !e) print o}' <<<"$help")
    [ -z "$bare" ] || fail "$name: options without an example: $bare"
    while IFS= read -r term; do
        term=$(sed -E 's/  .*//; s/<([A-Z]+)>/\1/g' <<<"$term")
        # A tag on its own line, or followed by its text two blanks on (one
        # for a tag shorter than the indent, which man sets beside its text).
        awk -v t="$term" 'index($0, t) == 1 && (length($0) == length(t) || substr($0, length(t) + 1, 2) == "  " ||
            (length(t) < 7 && substr($0, length(t) + 1, 1) == " ")) \
            {found = 1} END {exit !found}' <<<"$text" || fail "$name: option \"$term\" is not in the page"
    done < <(entries Options <<<"$help")
    local examples
    examples=$(sed -n '/^EXAMPLES$/,/^[A-Z]/p' <<<"$text" | sed 's/^ *//')
    while IFS= read -r example; do
        grep -qxF -- "$example" <<<"$examples" || fail "$name: example \"$example\" is not a line of EXAMPLES"
    done < <(entries Examples <<<"$help")
}

check_page telvaro "NAME|SYNOPSIS|DESCRIPTION|COMMANDS|OPTIONS|EXIT STATUS|ENVIRONMENT|FILES|EXAMPLES|SEE ALSO"
check_page telvaro-cli "NAME|SYNOPSIS|DESCRIPTION|COMMANDS|OPTIONS|EXIT STATUS|ENVIRONMENT|FILES|EXAMPLES|SEE ALSO"
check_page telvaro-devsim "NAME|SYNOPSIS|DESCRIPTION|OPTIONS|EXIT STATUS|ENVIRONMENT|FILES|EXAMPLES|SEE ALSO"

statuses=("0 1 2 130 143 " "0 1 2 ")
for i in 0 1; do
    program=${*:i+2:1}
    name=$(basename "$program")
    text=$(render "$folder/$name.1" | sed 's/^ *//')
    help=$("$program" --help) || fail "$name --help ended with status $?"
    check_help "$name" "$help" "$text"
    status=$(sed -n '/^EXIT STATUS$/,/^ENVIRONMENT$/p' <<<"$text" | grep -oE '^[0-9]+' | tr '\n' ' ')
    [ "$status" = "${statuses[i]}" ] || fail "$name: exit statuses are $status, not ${statuses[i]}"
done

# Each command of telvaro-cli is one subsection, with its own options.
cli="$2"
subsections=$(render "$folder/telvaro-cli.1" | grep -E '^   [^ ]' | sed 's/^ *//' | tr '\n' ' ')
commands=$("$cli" --help | entries Commands | sed 's/ .*//' | tr '\n' ' ')
[ "$subsections" = "${commands}Link options " ] || fail "telvaro-cli: subsections are $subsections, not $commands"
text=$(render "$folder/telvaro-cli.1" | sed 's/^ *//')
for command in $commands; do
    help=$("$cli" "$command" --help) || fail "telvaro-cli $command --help ended with status $?"
    check_help "telvaro-cli $command" "$help" "$text"
done
exit $failed
