#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The installer installed and uninstalled silently under wine, as a user would with /S: the
# files, the Start menu, the entry in Programs and Features; the uninstaller takes all of it
# away but the user's saved settings. One line per check; the last is "N passed, M failed".
#   tests/win32/installer.sh SETUP.EXE     (WINEPREFIX names the prefix to use)
set -uo pipefail
setup="$1"
passed=0 failed=0
check() {
  if [ "$2" -eq 0 ]; then passed=$((passed + 1)); echo "PASS $1${3:+ ($3)}"
  else failed=$((failed + 1)); echo "FAIL $1${3:+ ($3)}"; fi
}
unix() { winepath -u "$1" 2>/dev/null; }
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\tova-control'
settings='HKCU\Software\tova-control\tova-control'

wine "$setup" /S; status=$?
dir=$(unix "$(wine cmd /c echo %LOCALAPPDATA% | tr -d '\r')\\Programs\\tova-control")
menu=$(unix "$(wine cmd /c echo %APPDATA% | tr -d '\r')\\Microsoft\\Windows\\Start Menu\\Programs\\tova-control")
check "install /S: done" $status
missing=""
for f in tova-control.exe tova-send.exe LICENSE.txt guide.html tova-control-help.txt tova-send-help.txt uninstall.exe; do
  [ -f "$dir/$f" ] || missing="$missing $f"
done
check "install: the programs, their help, the licence and the guide" "$([ -z "$missing" ]; echo $?)" "${missing:-$dir}"
check "install: the guide in the Start menu" "$([ -f "$menu/tova-control guide.lnk" ]; echo $?)"
# The guide is the PC user's: no Linux steps, and every link inside it leads somewhere.
linux=$(grep -oE 'apt-get|systemctl|sudo|/dev/tty|cmake|scripts/' "$dir/guide.html" 2>/dev/null | sort -u | tr '\n' ' ')
check "the guide: no Linux or build steps" "$([ -f "$dir/guide.html" ] && [ -z "$linux" ]; echo $?)" "$linux"
broken=""
[ -f "$dir/guide.html" ] || broken="(no guide)"
for ref in $(grep -oE '(href|src)="[^"]*"' "$dir/guide.html" 2>/dev/null | sed 's/^[a-z]*="//; s/"$//'); do
  case "$ref" in
    \#*) grep -q "id=\"${ref#\#}\"" "$dir/guide.html" || broken="$broken $ref" ;;
    *) [ -e "$dir/$ref" ] || broken="$broken $ref" ;;
  esac
done
check "the guide: every link leads somewhere" "$([ -z "$broken" ]; echo $?)" "$broken"
check "install: the Start menu entries" "$(ls "$menu"/*.lnk >/dev/null 2>&1; echo $?)" "$(ls "$menu" 2>/dev/null | tr '\n' ',')"
entry=$(wine reg query "$key" /v UninstallString 2>/dev/null | tr -d '\r')
check "install: the entry in Programs and Features" "$(grep -q 'uninstall.exe' <<<"$entry"; echo $?)"
version=$(wine "$dir/tova-send.exe" --version | tr -d '\r')
check "install: tova-send runs from where it is" "$([ "$version" = "tova-send $(sed -n 's/^project(tova-control VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../../CMakeLists.txt")" ]; echo $?)" "$version"

wine reg add "$settings" /v com1 /d COM7 /f >/dev/null 2>&1
# In place (_?=), so that it has ended when it returns.
wine "$dir/uninstall.exe" /S "_?=$(winepath -w "$dir" 2>/dev/null)"; status=$?
rm -f "$dir/uninstall.exe"; rmdir "$dir" 2>/dev/null
check "uninstall /S: done" $status
check "uninstall: the files gone" "$([ ! -e "$dir" ]; echo $?)"
check "uninstall: the Start menu entries gone" "$([ ! -e "$menu" ]; echo $?)"
check "uninstall: the entry gone" "$(wine reg query "$key" >/dev/null 2>&1; [ $? -ne 0 ]; echo $?)"
check "uninstall: the saved devices left" "$(wine reg query "$settings" /v com1 2>/dev/null | grep -q COM7; echo $?)"
wine reg delete 'HKCU\Software\tova-control' /f >/dev/null 2>&1
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
