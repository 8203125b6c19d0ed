#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Windows panel and tova-send end to end under wine, on a virtual display with a window
# manager: COM1 and COM2 mapped to two virtual projectors' pseudo-terminals, the real
# tova-control.exe driven with the mouse and the keys as an operator would, read back through the
# probe, and what reached the projectors read from their logs. One line per check; the last line
# is "N passed, M failed".
#   tests/win32/e2e.sh WINDOWS_BUILD_DIR TOVA_SIM OUT_DIR
# WINEPREFIX must name the prefix to use.
set -uo pipefail
win="$1" sim="$2" out="$3"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../../scripts/lib/virtual-display.sh"
mkdir -p "$out"
run=$(mktemp -d)
passed=0 failed=0
on_exit "rm -rf '$run'"
on_exit "wineserver -k"

check() { # NAME CONDITION-STATUS [DETAIL]
  if [ "$2" -eq 0 ]; then passed=$((passed + 1)); echo "PASS $1${3:+ ($3)}"
  else failed=$((failed + 1)); echo "FAIL $1${3:+ ($3)}"; fi
}
probe() { wine "$win/tests/tova-probe.exe" "$@" 2>/dev/null | tr -d '\r'; }
# Waits up to $1 tenths of a second for a command to succeed.
until_ok() { local n=$1; shift; for _ in $(seq "$n"); do "$@" && return 0; sleep 0.1; done; return 1; }
field() { probe list | awk -F'\t' -v n="$1" -v f="$2" '$1 == n { print $f }'; }
label() { field "$1" 6; }
label_is() { [ "$(label "$1")" = "$2" ]; } # read again at each call, as until_ok makes it
lines() { grep -c -- "$2" "$1" 2>/dev/null || true; }
# The screen point of a control's middle: the client area's origin plus its place in it.
point() {
  local origin place
  origin=$(probe window | sed -n 3p)
  place=$(field "$1" 5)
  set -- $origin $place
  echo "$(($1 + $5 + $7 / 2)) $(($2 + $6 + $8 / 2))"
}
click() { xdotool mousemove $(point "$1") click 1; }

start_virtual_display 1280x1024 wm
wine regedit /S "$here/wine-fonts.reg"
# The Japanese faces, and COM1 and COM2 leading to the projectors' pseudo-terminals.
# The first projector warms up for 8 s: STATUS reads its count-down whatever the machine's load.
in_group "$sim" --fast --warm-up 8 --link "$run/com1" >/dev/null 2>"$run/sim1.log"; sim1=$!
in_group "$sim" --fast --speed 9600 --link "$run/com2" >/dev/null 2>"$run/sim2.log"
until_ok 50 test -e "$run/com1" -a -e "$run/com2"
printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\n"COM1"="%s"\n"COM2"="%s"\n' "$run/com1" "$run/com2" >"$run/ports.reg"
wine regedit /S "$run/ports.reg"
forget_kept() { wine reg delete 'HKCU\Software\tova-control' /f >/dev/null 2>&1; }
forget_kept # a port kept by an earlier run in this prefix leads nowhere now
wineserver -k; wineserver -w

trace="$run/trace.log"
started=$(date +%s%N)
in_group wine "$win/tova-control.exe" --trace "Z:${trace//\//\\}" >"$run/panel.out" 2>&1; panel=$!
until_ok 300 probe window >/dev/null
echo "window shown $(( ($(date +%s%N) - started) / 1000000 )) ms after start"
sleep 1

# At start: compact, captioned, COM1 at 19200 marked, every caption as the table has it.
read -r _ _ _ outer_h < <(probe window | sed -n 2p)
caption=$(probe window | sed -n 1p)
check "start: the caption" "$([ "$caption" = "TOVA   M4 & TM4    CONTROL   Ver.1.40 BASE" ]; echo $?)" "$caption"
check "start: the compact outer height, 5350 twips" "$([ "$outer_h" = 357 ]; echo $?)" "$outer_h px"
check "start: COM1 and 19200 marked, the COM frame hidden" \
  "$([ "$(field Option1 4)$(field Option9 4)$(field Option2 4)$(field Frame8 3)" = 1100 ]; echo $?)"
probe captions >"$run/captions.txt"; status=$?
check "start: every caption as in the layout table" $status "$(tail -1 "$run/captions.txt")"

# The picture and the coloured buttons where the layout puts them.
origin=$(probe window | sed -n 3p)
xdotool mousemove 0 0; sleep 0.3 # no tooltip over the picture
import -window root "$out/panel.png"
bad=0
while read -r x y colour what; do
  set -- $origin
  got=$(convert "$out/panel.png" -format "%[hex:p{$(($1 + x)),$(($2 + y))}]" info: | cut -c1-6)
  [ "$got" = "$colour" ] || { bad=1; echo "  $what at $x,$y shows $got, not $colour"; }
done < <(probe expect)
check "screenshot: the picture and the coloured buttons in place" $bad "$out/panel.png"

# The service view, and the queries through the line.
click Label1 # the window takes the keys; the focus stays on POWER ON
xdotool key ctrl+k
until_ok 30 test "$(probe window | sed -n 2p | cut -d' ' -f4)" = "$(( (7200 * 96 + 720) / 1440 ))"
check "Ctrl+K: the service view" $? "$(probe window | sed -n 2p | cut -d' ' -f4) px"
# POWER ON from the keyboard: the focus is on it at start, and the space bar clicks it.
xdotool key space
until_ok 30 test "$(lines "$run/sim1.log" 'line: C 0 0')" -ge 1
check "POWER ON: C00 on the line, from the space bar" $?
sleep 1 # its exchange closed: the next reply starts afresh
click Command44
until_ok 30 label_is Label22 " Count down"
check "STATUS: CR0 on the line, \" Count down\" decoded" $? "$(label Label22)"
# Asked again until it is on: its warm-up ends within 8 s of POWER ON (a reply shows for 1 s).
status_on() { click Command44; until_ok 5 label_is Label22 " Power ON"; }
until_ok 20 status_on
check "STATUS: \" Power ON\" decoded" $? "$(label Label22)"

# A double-click on the picture: the full view, its free-text command sent.
xdotool mousemove $(point Image1) click --repeat 2 --delay 80 1
until_ok 30 test "$(probe window | sed -n 2p | cut -d' ' -f4)" = "$(( (9100 * 96 + 720) / 1440 ))"
check "the picture double-clicked: the full view" $? "$(probe window | sed -n 2p | cut -d' ' -f4) px"
probe set Text1 "CR1"
click Command95
until_ok 30 test "$(lines "$run/sim1.log" 'line: C R 1')" -ge 1
check "SEND: the command box's text on the line" $? "$(label Label22)"
xdotool mousemove 0 0; sleep 0.3
import -window root "$out/panel-full.png"
probe click Command34 # the data button: back to the compact view
sleep 0.5
probe click Command34 # and open the data area: its caption in Japanese
until_ok 30 test "$(field Command34 6)" = "データを表示しない"
check "the data button: its Japanese caption" $? "$(field Command34 6)"
xdotool mousemove 0 0; sleep 0.3
import -window root "$out/panel-data.png"
# Its first line breaks where the Qt window breaks it ("データを表示"), clear of the edge: the
# ink of the button's upper half ends before its right side's last 3 px inside the edge.
read -r ox oy _ < <(probe window | sed -n 3p)
read -r bx by bw bh _ < <(field Command34 5)
inner_w=$((bw - 6))
ink=$(convert "$out/panel-data.png" -crop "${inner_w}x$((bh / 2 - 2))+$((ox + bx + 3))+$((oy + by + 3))" +repage \
  -colorspace gray -threshold 40% -negate -trim -format '%w %X' info: 2>/dev/null)
read -r ink_w ink_x <<<"$ink"
check "the data button: its first line clear of the right edge" \
  "$([ -n "$ink_w" ] && [ $((${ink_x#+} + ink_w)) -le $((inner_w - 3)) ]; echo $?)" "ink ${ink_w:-none} px from ${ink_x:-?} in $inner_w"

# VOL + held about a second: the press and its repeats, nothing after the release.
before=$(lines "$run/sim1.log" 'line: C 0 9')
xdotool mousemove $(point Command1) mousedown 1; sleep 1; xdotool mouseup 1
released=$(lines "$run/sim1.log" 'line: C 0 9')
sleep 0.8
after=$(lines "$run/sim1.log" 'line: C 0 9')
periods=$(grep 'TX " C 0 9 CR "' "$trace" | awk '{ split($2, t, ":"); ms = (t[1] * 3600 + t[2] * 60 + t[3]) * 1000;
  if (last) printf "%d ", ms - last; last = ms }')
check "VOL + held: at least two repeats reach the projector" "$([ $((released - before)) -ge 3 ]; echo $?)" \
  "$((released - before)) lines, periods ms: $periods"
check "VOL + released: nothing follows but the line on the wire" "$([ $((after - released)) -le 1 ]; echo $?)" \
  "$((after - released)) after the release"

# The COM choice: COM2 at 9600 reaches the second projector.
click Command33; until_ok 20 test "$(field Frame8 3)" = 1
click Option2; sleep 0.5
click Command33; until_ok 20 test "$(field Frame8 3)" = 1
click Option10; sleep 0.5
click Command44
until_ok 30 test "$(lines "$run/sim2.log" 'line: C R 0')" -ge 1 -a "$(label Label22)" = " Stand by"
check "COM2 at 9600: STATUS reaches the second projector, \" Stand by\" decoded" $? "$(label Label22)"
click Command33; until_ok 20 test "$(field Frame8 3)" = 1
click Option1; sleep 0.5
click Command33; until_ok 20 test "$(field Frame8 3)" = 1
click Option9; sleep 0.5

# The projector killed: one warning box naming COM1 and its device; the port closed.
kill -- -"$sim1"
until_ok 50 probe box >/dev/null
text=$(probe box | tr '\n' ' ')
check "the device gone: a warning box names COM1 and its device" "$(grep -q 'COM1 (COM1)' <<<"$text"; echo $?)" "$text"
probe dismiss; sleep 1
check "the device gone: told once" "$(probe box >/dev/null; [ $? -ne 0 ]; echo $?)"
check "the device gone: the port closed" "$(grep -q 'LOST' "$trace" && ! grep -q 'OPEN' <(sed -n '/LOST/,$p' "$trace"); echo $?)"

# tcp:// of a device server: a STATUS round trip.
kill -- -"$panel"; wineserver -k; wineserver -w
in_group "$sim" --fast --listen 127.0.0.1:0 >"$run/sim3.out" 2>"$run/sim3.log"
until_ok 50 test -s "$run/sim3.out"
url=$(head -1 "$run/sim3.out")
in_group wine "$win/tova-control.exe" --com1 "$url" >"$run/panel2.out" 2>&1; panel=$!
until_ok 300 probe window >/dev/null; sleep 1
click Label1; xdotool key ctrl+k; sleep 0.5
click Command44
until_ok 30 test "$(label Label22)" = " Stand by"
check "tcp:// of a device server: STATUS round trip" $? "$url: $(label Label22)"
kill -- -"$panel"; wineserver -k; wineserver -w

# COM1 absent and an adapter on COM3: the box offers it, Yes leads COM1 there, and the next start
# keeps it. COM1 is mapped to a path that does not exist (a fresh prefix maps it to the console);
# wine gives the console the first number left free, COM4 here, after the adapter's.
in_group "$sim" --fast --link "$run/com3" >/dev/null 2>"$run/sim3b.log"
until_ok 50 test -e "$run/com3"
printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\n"COM1"="%s"\n"COM3"="%s"\n' "$run/absent" "$run/com3" >"$run/ports3.reg"
wine regedit /S "$run/ports3.reg"
wineserver -k; wineserver -w
got=$(wine "$win/tova-send.exe" --list-ports 2>/dev/null | tr -d '\r' | tr '\n' '|')
check "tova-send --list-ports: COM3 among the ports" "$(grep -qE '(^|\|)COM3($|[|[:space:]])' <<<"$got"; echo $?)" "$got"
in_group wine "$win/tova-control.exe" >"$run/panel5.out" 2>&1; panel=$!
until_ok 300 probe box >/dev/null
text=$(probe box | tr '\n' ' ')
check "COM1 absent: the box has the program's name, the next step and COM3 offered" \
  "$(grep -q '^tova-control .*COM1 (COM1): .*right-click COM.*This computer has COM3.*Use it as COM1?' <<<"$text"; echo $?)" "$text"
xdotool key Return # Yes, the box's default
until_ok 30 test "$(field Frame8 3)" = 0
click Command17
until_ok 30 test "$(lines "$run/sim3b.log" 'line: C 0 0')" -ge 1
check "Yes: POWER ON reaches the projector on COM3" $? "$(probe box | tr '\n' ' ')"
kill -- -"$panel"; wineserver -k; wineserver -w
in_group wine "$win/tova-control.exe" >"$run/panel6.out" 2>&1; panel=$!
until_ok 300 probe window >/dev/null; sleep 1
check "the next start: no box" "$(probe box >/dev/null; [ $? -ne 0 ]; echo $?)" "$(probe box | tr '\n' ' ')"
click Label1; xdotool key ctrl+k; sleep 0.5
click Command44
until_ok 30 test "$(lines "$run/sim3b.log" 'line: C R 0')" -ge 1
check "the next start: COM1 still leads to COM3" $? "$(tail -1 "$run/sim3b.log")"
kill -- -"$panel"; wineserver -k; wineserver -w
forget_kept
wine reg delete 'HKLM\Software\Wine\Ports' /v COM3 /f >/dev/null 2>&1
wine regedit /S "$run/ports.reg"

# tova-send.exe: exit statuses and a JSON line.
send() { wine "$win/tova-send.exe" "$@" 2>"$run/send.err" | tr -d '\r'; return "${PIPESTATUS[0]}"; }
got=$(send --device COM2 --speed 9600 CR0); status=$?
check "tova-send: 0 and the words of a reply" "$([ $status = 0 ] && [ "$got" = "Stand by" ]; echo $?)" "$status: $got"
send --device COM2 --speed 9600 --address 003 --timeout 300 CR0 >/dev/null; status=$?
check "tova-send: 1 for no reply" "$([ $status = 1 ]; echo $?)" "$status"
send --device COM9 CR0 >/dev/null; status=$?
check "tova-send: 2 for an unmapped COM9" "$([ $status = 2 ]; echo $?)" "$status: $(head -c 120 "$run/send.err")"
send --device COM2 --speed 9600 XYZ >/dev/null; status=$?
check "tova-send: 3 for a refusal" "$([ $status = 3 ]; echo $?)" "$status"
send --bogus >/dev/null; status=$?
check "tova-send: 64 for a usage error" "$([ $status = 64 ]; echo $?)" "$status"
got=$(printf 'CR0\nCR1\n' | send --device COM2 --speed 9600 --stdin | tr '\n' '|'); status=$?
check "tova-send: codes from standard input" "$([ $status = 0 ] && [ "$got" = "Stand by|Input mode 1|" ]; echo $?)" "$status: $got"
got=$(send --device "$url" --json CR0); status=$?
check "tova-send: a JSON line over tcp://" \
  "$([ $status = 0 ] && grep -q '^{"code":"CR0","line":"CR0\\u000d","reply":" 8 0 CR ","decoded":"Stand by"' <<<"$got"; echo $?)" "$got"

cp "$trace" "$out/trace.log" 2>/dev/null
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
