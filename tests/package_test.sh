#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian package, checks it as Debian would (lintian, the desktop entry, the AppStream
# metadata), unpacks it into a temporary root and runs each program from there.
set -euo pipefail
build="$1"
for tool in help2man lintian desktop-file-validate appstreamcli; do
  if ! command -v "$tool" >/dev/null; then
    echo "package test skipped: $tool is missing (scripts/setup installs it)"
    exit 0
  fi
done
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
cd "$build"
cpack -G DEB -B "$root/out" >/dev/null
deb=$(ls "$root"/out/tova-control_*.deb)
fail() { echo "package test: $*"; exit 1; }

depends=$(dpkg-deb --field "$deb" Depends)
for need in libqt6widgets6 libqt6serialport6 libqt6network6 qt6-qpa-plugins; do
  grep -q "$need" <<<"$depends" || fail "no dependency on $need: $depends"
done
grep -q fonts-ipafont-gothic <<<"$(dpkg-deb --field "$deb" Recommends)" || fail "the IPA fonts are not recommended"
[ "$(dpkg-deb --field "$deb" Version)" = 1.40.0 ] || fail "version $(dpkg-deb --field "$deb" Version)"

# lintian: no error and no warning; what it only informs about is shown.
lintian_out=$(lintian -I --pedantic --tag-display-limit 0 "$deb" 2>&1 | grep -v 'root privileges' || true)
if grep -E '^[EW]:' <<<"$lintian_out"; then fail "lintian reports the lines above"; fi
[ -z "$lintian_out" ] || echo "lintian (informational): $lintian_out"

dpkg-deb -x "$deb" "$root/fs"
share="$root/fs/usr/share"
validate=$(desktop-file-validate "$share/applications/tova-control.desktop" 2>&1 || true)
[ -z "$validate" ] || fail "desktop-file-validate: $validate"
# AppStream: nothing but the warnings about the component id (no domain of our own yet).
appstream=$(appstreamcli validate --no-net --explain "$share/metainfo/tova-control.metainfo.xml" 2>&1 || true)
if grep -E '^[EW]:' <<<"$appstream" | grep -vE 'cid-desktopapp-is-not-rdns|cid-contains-hyphen'; then
  fail "appstreamcli reports the lines above"
fi

for f in applications/tova-control.desktop metainfo/tova-control.metainfo.xml \
         icons/hicolor/128x128/apps/tova-control.png doc/tova-control/copyright doc/tova-control/changelog.gz \
         man/man1/tova-control.1.gz man/man1/tova-sim.1.gz man/man1/tova-send.1.gz \
         man/man1/tova-bridge.1.gz doc/tova-control/examples/tova-bridge.conf; do
  [ -s "$share/$f" ] || fail "missing from the package: $f"
done
page=$(zcat "$share/man/man1/tova-send.1.gz")
for section in "Exit status" "EXAMPLES" "SEE ALSO" "COMMAND CODES"; do
  grep -q "^\.S[HS] \"\?$section" <<<"$page" || fail "tova-send's manual page has no $section"
done
# Every licence the package ships under (a file's SPDX identifier, the metadata's licences) has
# its own paragraph in the copyright file, and a Files stanza that names it.
copyright="$share/doc/tova-control/copyright"
licences=$( (grep -rhoE 'SPDX-License-Identifier: [A-Za-z0-9.+-]+' "$root/fs" | sed 's/.*: //';
             grep -hoE '<(metadata|project)_license>[^<]+' "$share/metainfo/tova-control.metainfo.xml" | sed 's/.*>//') | sort -u)
for licence in $licences; do
  grep -qx "License: $licence" "$copyright" || fail "the copyright file has no licence text or reference for $licence"
  grep -q "^License: $licence\$" <(awk '/^Files:/ { f = 1 } f && /^License:/ { print; f = 0 }' "$copyright") ||
    fail "no Files stanza of the copyright file is under $licence"
done
grep -q "^\.SH \"\?FILES" <<<"$(zcat "$share/man/man1/tova-control.1.gz")" || fail "tova-control's page has no FILES"
unit="$root/fs/lib/systemd/system/tova-bridge@.service"
[ -s "$unit" ] || fail "no service for tova-bridge"
for key in "DynamicUser=yes" "SupplementaryGroups=dialout" "Restart=on-failure" "After=network-online.target" \
           "RestartPreventExitStatus=64" "ExecReload=/bin/kill -HUP \$MAINPID" "UMask=0077" "OOMPolicy=stop" \
           "TasksMax=16"; do
  grep -qx "$key" "$unit" || fail "the service lacks $key"
done
# The example configuration is one the bridge takes (checked up to binding: its device is absent).
example="$share/doc/tova-control/examples/tova-bridge.conf"
rc=0
out=$(timeout 2 "$root/fs/usr/bin/tova-bridge" --config "$example" --device /nonexistent/tty --pjlink 127.0.0.1:0 2>&1) || rc=$?
[ "$rc" = 124 ] || fail "the example configuration is refused ($rc): $out"
# Hardened: an instance's exposure as systemd rates it.
if command -v systemd-analyze >/dev/null; then
  cp "$unit" "$root/tova-bridge@hall.service"
  rating=$(cd "$root" && systemd-analyze security --offline=true tova-bridge@hall.service 2>&1 | grep "Overall exposure")
  score=$(sed -E 's/.*: ([0-9.]+) .*/\1/' <<<"$rating")
  awk -v s="$score" 'BEGIN { exit !(s <= 2.5) }' || fail "the service's exposure: $rating"
  echo "service exposure: $score"
fi
for prog in tova-control tova-sim tova-send tova-bridge; do
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/fs/usr/bin/$prog" --help)
  grep -q "Usage: $prog" <<<"$out" || fail "$prog --help printed: $out"
  [ "$(env -u DISPLAY "$root/fs/usr/bin/$prog" --version)" = "$prog 1.40.0" ] || fail "$prog --version"
  file "$root/fs/usr/bin/$prog" | grep -q ", stripped" || fail "$prog is not stripped"
done
echo "package test passed"
