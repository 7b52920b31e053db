#!/usr/bin/env bash
# The man pages say what the programs and the README say: the OPTIONS section of each
# page describes exactly the options the program's --help lists, and the viewer's page
# has the README's "Mouse and keys" table, row for row.
#   check_manuals.sh README VIEW_PROGRAM VIEW_PAGE EXPORT_PROGRAM EXPORT_PAGE
set -euo pipefail
export LC_ALL=C  # the option lists sort the same everywhere
readme=$1
failed=0

# Option names (-h, --phantom) where a word starts, in text or in roff with \- unescaped.
option_names() { sed 's/\\-/-/g' | grep -oE '(^|[][ ,("|])--?[a-z][a-z-]*' | sed 's/^[][ ,("|]//' | sort -u; }
# The tag lines (the line after .TP) of the section named $2 of the page $1.
section_tags() { awk -v name="$2" '/^\.SH /{in_section = ($0 == ".SH " name)} in_section && previous == ".TP" {print} {previous = $0}' "$1"; }

check_options() {  # program page
  local help
  help=$("$1" --help) || { echo "FAIL: $1 --help exits with status $?"; failed=1; return; }
  if ! diff -u --label "$(basename "$1") --help" --label "$(basename "$2") OPTIONS" \
       <(option_names <<<"$help") <(section_tags "$2" OPTIONS | option_names); then
    echo "FAIL: the options of $(basename "$1") --help (-) and of its man page (+) differ"
    failed=1
  fi
}

check_keys() {  # page: the README's table as "gesture<TAB>what it does" lines
  local table page
  table=$(awk '/^## /{in_section = ($0 == "## Mouse and keys")} in_section && /^\| / && !/^\| Gesture or key \|/ && !/^\|---/' "$readme" |
          sed -E 's/^\| (.*) \|$/\1/; s/ \| /\t/')
  page=$(awk '/^\.SH /{in_section = ($0 == ".SH MOUSE AND KEYS")}
              in_section && want == 2 {print tag "\t" $0; want = 0}
              in_section && want == 1 {tag = $0; want = 2}
              in_section && /^\.TP$/ {want = 1}' "$1" | sed 's/\\-/-/g')
  [ -n "$table" ] || { echo "FAIL: no Mouse and keys table in $readme"; failed=1; return; }
  if ! diff -u --label "README Mouse and keys" --label "$(basename "$1") MOUSE AND KEYS" <(echo "$table") <(echo "$page"); then
    echo "FAIL: the README's keys (-) and the man page's (+) differ"
    failed=1
  fi
}

check_options "$2" "$3"
check_options "$4" "$5"
check_keys "$3"
[ $failed -eq 0 ] && echo "ok: the man pages list the programs' options and the README's keys"
exit $failed
