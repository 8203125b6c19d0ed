#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Every manual page as a reader at 80 columns sees it: each example command whole on one line,
# character for character as the page's source writes it, so that copying it works; no word
# broken with a hyphen (U+2010); the exit statuses listed once.
set -euo pipefail
man_dir="$1"
fail() { echo "man test: $*" >&2; exit 1; }
command -v man >/dev/null || fail "man is missing (scripts/setup installs man-db)"
pages=("$man_dir"/*.1)
[ ${#pages[@]} -eq 4 ] || fail "expected 4 pages in $man_dir, found ${#pages[@]}"
for page in "${pages[@]}"; do
  name=$(basename "$page")
  rendered=$(LC_ALL=C.UTF-8 MANWIDTH=80 MAN_KEEP_FORMATTING= man -l "$page" 2>/dev/null | sed 's/^ *//; s/ *$//')
  [ -n "$rendered" ] || fail "$name renders as nothing"
  if grep -q $'\u2010' <<<"$rendered"; then
    fail "$name has a U+2010 hyphen: $(grep -m1 $'\u2010' <<<"$rendered")"
  fi
  # The examples: the lines between .EX and .EE, roff escapes read back to their characters.
  examples=$(awk '/^\.EX$/ { on = 1; next } /^\.EE$/ { on = 0 } on' "$page" |
             sed 's/\\-/-/g; s/\\(dq/"/g; s/\\(aq/'"'"'/g; s/\\e/\\/g')
  [ -n "$examples" ] || fail "$name has no example"
  while IFS= read -r line; do
    grep -qxF -- "$line" <<<"$rendered" || fail "$name: the example is not whole on one line: $line"
  done <<<"$examples"
  statuses=$(grep -ciE '^(exit status|EXIT STATUS)' <<<"$rendered" || true)
  [ "$statuses" = 1 ] || fail "$name lists its exit statuses $statuses times"
done
echo "man test passed: ${#pages[@]} pages"
