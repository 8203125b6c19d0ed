# SPDX-License-Identifier: MIT
# Sourced by scripts and tests: a virtual X display of our own, never one already in use.
#   start_virtual_display [WIDTHxHEIGHT] [wm]
# sets DISPLAY to a display Xvfb chose itself (-displayfd), starts openbox in it when asked,
# and stops both when the calling shell exits (beside whatever else it ends then).
source "$(dirname "${BASH_SOURCE[0]}")/cleanup.sh"
start_virtual_display() {
  local size="${1:-1280x1024}" wm="${2:-}" dir
  dir=$(mktemp -d)
  exec {vd_fd}>"$dir/display"
  Xvfb -displayfd "$vd_fd" -screen 0 "${size}x24" -nolisten tcp >"$dir/xvfb.log" 2>&1 &
  vd_xvfb=$!
  on_exit "kill $vd_xvfb; rm -rf '$dir'"
  exec {vd_fd}>&-
  for _ in $(seq 100); do [ -s "$dir/display" ] && break; sleep 0.1; done
  if [ ! -s "$dir/display" ]; then
    echo "virtual display: Xvfb did not start" >&2; cat "$dir/xvfb.log" >&2; return 1
  fi
  export DISPLAY=":$(head -1 "$dir/display")"
  vd_wm=""
  if [ -n "$wm" ]; then
    openbox >"$dir/openbox.log" 2>&1 &
    vd_wm=$!
    on_exit "kill $vd_wm"
    for _ in $(seq 100); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break; sleep 0.1; done
  fi
  vd_dir=$dir
}
