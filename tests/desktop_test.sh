#!/usr/bin/env bash
# Runs the window tests on a real X server (Xvfb, on a display it chooses itself) under the
# openbox window manager: frames, title bars, focus and key auto-repeat as on a desktop.
set -euo pipefail
tests="$1"
for tool in Xvfb openbox xprop xwininfo xset xdotool; do
  command -v "$tool" >/dev/null || { echo "desktop test: $tool is missing (scripts/setup installs it)"; exit 1; }
done
dir=$(mktemp -d)
cleanup() { kill "${wm:-}" "${xvfb:-}" 2>/dev/null || true; rm -rf "$dir"; }
trap cleanup EXIT
exec 3>"$dir/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$dir/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$dir/display" ] && break; sleep 0.1; done
[ -s "$dir/display" ] || { echo "desktop test: Xvfb did not start"; cat "$dir/xvfb.log"; exit 1; }
export DISPLAY=":$(head -1 "$dir/display")"
openbox >"$dir/openbox.log" 2>&1 &
wm=$!
for _ in $(seq 100); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break; sleep 0.1; done
export QT_QPA_PLATFORM=xcb
"$tests" --gtest_filter='Window.*:Desktop.*:Faults.*'
