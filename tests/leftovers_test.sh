#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# CI's check for processes left running: one left behind is found by its mark and named, one
# ended is not, and a process without the mark (anyone else's) is never listed.
set -uo pipefail
source "$(dirname "$0")/../scripts/lib/leftovers.sh"
source "$(dirname "$0")/../scripts/lib/cleanup.sh"
fail() { echo "leftovers test: $*" >&2; exit 1; }

mark_run
in_group sleep 300; marked=$!
TOVA_RUN_MARK=someone-else in_group sleep 301; other=$!
sleep 0.2
said=$(leftovers 2>&1) && fail "a marked process left running was not found"
grep -q "^left running: $marked sleep 300" <<<"$said" || fail "the leftover is not named: $said"
grep -q "sleep 301" <<<"$said" && fail "a process of another mark was listed: $said"
kill -- -"$marked"; wait "$marked" 2>/dev/null
said=$(leftovers 2>&1) || fail "nothing is left, yet: $said"
kill -- -"$other"
echo "leftovers test: passed"
