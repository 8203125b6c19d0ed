#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the window tests on a real X server (Xvfb, on a display it chooses itself) under the
# openbox window manager: frames, title bars, focus and key auto-repeat as on a desktop.
set -euo pipefail
tests="$1"
for tool in Xvfb openbox xprop xwininfo xset xdotool; do
  command -v "$tool" >/dev/null || { echo "desktop test: $tool is missing (scripts/setup installs it)"; exit 1; }
done
source "$(dirname "$0")/../scripts/lib/virtual-display.sh"
start_virtual_display 1280x1024 wm
export QT_QPA_PLATFORM=xcb
"$tests" --gtest_filter='Window.*:Desktop.*:Faults.*'
