# SPDX-License-Identifier: MIT
# Sourced by CI: every process a run starts carries the run's mark in its environment, and at
# the end of the run any marked process still running is a leftover. Processes are found by
# the mark alone, never by name, so nothing of anyone else's is ever listed. Only shell
# built-ins read /proc: a command started to read it would carry the mark itself.
#   mark_run     export a mark of this run's own
#   leftovers    list the marked processes still running; non-zero when there is one
mark_run() { export TOVA_RUN_MARK="tova-run-$$-$RANDOM$RANDOM"; }

_marked() { # /proc/PID
  local entry
  while IFS= read -r -d '' entry; do
    [ "$entry" = "TOVA_RUN_MARK=$TOVA_RUN_MARK" ] && return 0
  done <"$1/environ"
  return 1
} 2>/dev/null

leftovers() {
  local dir pid word cmd found=0
  for dir in /proc/[0-9]*; do
    pid=${dir#/proc/}
    [ "$pid" = "$$" ] || [ "$pid" = "${BASHPID:-}" ] && continue
    _marked "$dir" || continue
    cmd=""
    while IFS= read -r -d '' word; do cmd+="$word "; done <"$dir/cmdline" 2>/dev/null
    echo "left running: $pid ${cmd:-(gone)}" >&2
    found=1
  done
  return $found
}
