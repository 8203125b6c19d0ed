#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Windows programs under wine, beside the Linux ones: the sizes of what is shipped, the
# panel's start-up to its window (the wine server cold and warm, and the Qt panel on the same
# display), and the round trip of STATUS through each program's serial control on a virtual
# projector. Prints a table; it never fails on a time.
#   bench/windows.sh WINDOWS_BUILD_DIR LINUX_BUILD_DIR      (WINEPREFIX names the prefix)
set -uo pipefail
win="$1" linux="$2"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../scripts/lib/virtual-display.sh"
start_virtual_display 1280x1024 wm
run=$(mktemp -d)
on_exit "rm -rf '$run'"
on_exit "wineserver -k"
n=${TOVA_BENCH_RUNS:-7}
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ms() { echo $(( ($(date +%s%N) - $1) / 1000000 )); }

in_group "$linux/tova-sim" --link "$run/com1" >/dev/null 2>&1
for _ in $(seq 50); do [ -e "$run/com1" ] && break; sleep 0.1; done
printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\n"COM1"="%s"\n' "$run/com1" >"$run/ports.reg"
wine regedit /S "$run/ports.reg"
wineserver -k; wineserver -w

echo "| what | figure |"
echo "|---|---|"
for f in "$win"/package/tova-control.exe "$win"/package/tova-send.exe "$win"/tova-control-*-setup.exe; do
  [ -f "$f" ] && echo "| $(basename "$f") | $(( $(stat -c %s "$f") / 1024 )) KB |"
done

# Start-up: from the command to the window standing (shown, and answering its messages). A probe
# waiting beside it tells the moment, so that no probe's own start-up (a wine process of its own,
# about as long as a bare window's) falls into the figure.
shown() { # command...; the milliseconds until a panel window stands
  local out="$run/wait" start at
  : >"$out"
  wine "$win/tests/tova-probe.exe" wait >"$out" 2>/dev/null &
  local probe=$!
  for _ in $(seq 500); do grep -q ready "$out" && break; sleep 0.01; done
  start=$(date +%s%N)
  "$@" >/dev/null 2>&1 &
  local pid=$!
  wait $probe
  at=$(tr -d '\r' <"$out" | tail -1)
  case "$at" in
  *[!0-9]* | "") echo "the window did not stand within 30 s: $*" >&2 ;;
  *) echo $((at - start / 1000000)) ;;
  esac
  kill $pid 2>/dev/null; wait $pid 2>/dev/null
}
# With the server cold, no probe can wait beforehand (it would start the server): one is run
# again and again until it finds the window, and its own start is in the figure.
polled() {
  local start; start=$(date +%s%N)
  "$@" >/dev/null 2>&1 &
  local pid=$!
  until wine "$win/tests/tova-probe.exe" window >/dev/null 2>&1; do sleep 0.02; done
  ms "$start"
  kill $pid 2>/dev/null; wait $pid 2>/dev/null
}
cold=() warm=()
for _ in $(seq "$n"); do
  wineserver -k; wineserver -w
  cold+=("$(polled wine "$win/package/tova-control.exe")")
done
wineserver -p 60 # kept running between programs, as on a PC where it never stops
# The panel as shipped and a bare window of as many controls, stripped alike, taking turns under
# the same server.
x86_64-w64-mingw32-strip -o "$run/bare.exe" "$win/tests/tova-bare-window-win32.exe"
bare=()
for _ in $(seq "$n"); do
  warm+=("$(shown wine "$win/package/tova-control.exe")")
  bare+=("$(shown wine "$run/bare.exe")")
done
warm_ms=$(printf '%s\n' "${warm[@]}" | median) bare_ms=$(printf '%s\n' "${bare[@]}" | median)
echo "| tova-control.exe start-up under wine, wine server cold (median of $n, a probe's start included) | $(printf '%s\n' "${cold[@]}" | median) ms |"
echo "| tova-control.exe start-up under wine, wine server running (median of $n) | $warm_ms ms |"
echo "| a bare Win32 window with as many child controls, wine server running (median of $n) | $bare_ms ms |"
echo "| the panel against the bare window | $(awk -v a="$warm_ms" -v b="$bare_ms" 'BEGIN { printf "%.2f", a / b }') |"
qt=()
for _ in $(seq "$n"); do
  start=$(date +%s%N)
  "$linux/tova-control" --com1 "$run/com1" >/dev/null 2>&1 &
  pid=$!
  xdotool search --sync --onlyvisible --name TOVA >/dev/null 2>&1
  qt+=("$(ms "$start")")
  kill $pid; wait $pid 2>/dev/null
done
echo "| tova-control (Qt) start-up on the same display to its window mapped (median of $n) | $(printf '%s\n' "${qt[@]}" | median) ms |"

# The round trip of STATUS on the virtual projector (30 ms to answer), as tova-send times it.
trip() { grep -o '"ms":[0-9]*' | cut -d: -f2; }
win_ms=$(wine "$win/tova-send.exe" --device COM1 --json CR0 CR0 CR0 CR0 CR0 CR0 CR0 CR0 CR0 2>/dev/null | tr -d '\r' | trip | median)
linux_ms=$("$linux/tova-send" --device "$run/com1" --json CR0 CR0 CR0 CR0 CR0 CR0 CR0 CR0 CR0 2>/dev/null | trip | median)
echo "| STATUS round trip, tova-send.exe on the Win32 serial control under wine (median of 9) | $win_ms ms |"
echo "| STATUS round trip, tova-send on the Qt serial control (median of 9) | $linux_ms ms |"
