# SPDX-License-Identifier: MIT
# Sourced by scripts and tests: what a script starts ends when the script ends, however it ends
# (its last line, an error under set -e, Ctrl+C, a TERM from CI's time limit).
#   on_exit COMMAND...   run COMMAND (a string, eval'd) at the end, the last given first
#   in_group COMMAND...  start COMMAND in the background in a process group of its own, ended
#                        with everything it started at the end; $! is its process ID
# A subshell ($(...), a pipeline's part) keeps steps of its own: the shell's are not its to run.
[ -n "${_cleanup_sourced:-}" ] && return 0
_cleanup_sourced=1
_exit_steps=()
_exit_owner=$BASHPID
_run_exit_steps() {
  local step
  [ "$_exit_owner" = "$BASHPID" ] || return 0
  for step in "${_exit_steps[@]}"; do eval "$step" 2>/dev/null || true; done
  _exit_steps=()
}
on_exit() {
  if [ "$_exit_owner" != "$BASHPID" ]; then _exit_steps=(); _exit_owner=$BASHPID; fi
  _exit_steps=("$*" "${_exit_steps[@]}")
  trap _run_exit_steps EXIT
  trap 'exit 129' HUP
  trap 'exit 130' INT
  trap 'exit 143' TERM
}
in_group() {
  setsid "$@" &
  on_exit "kill -TERM -- -$! 2>/dev/null"
}
