#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The two Debian packages as Debian would check them (lintian, the desktop entry, the AppStream
# metadata), what each holds and needs (the bridge no Qt Widgets and no GUI plugins), both
# unpacked side by side into one root, each program run from there.
#   tests/package_test.sh PACKAGES_DIR     (where cpack put the .deb files)
set -euo pipefail
source "$(dirname "$0")/../scripts/lib/cleanup.sh"
out="$1"
for tool in help2man lintian desktop-file-validate appstreamcli; do
  if ! command -v "$tool" >/dev/null; then
    echo "package test skipped: $tool is missing (scripts/setup installs it)"
    exit 0
  fi
done
root=$(mktemp -d)
on_exit "rm -rf '$root'"
fail() { echo "package test: $*"; exit 1; }
control=$(ls "$out"/tova-control_*.deb) bridge=$(ls "$out"/tova-bridge_*.deb)
version=$(sed -n 's/^project(tova-control VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../CMakeLists.txt")

# What each needs.
depends=$(dpkg-deb --field "$control" Depends)
for need in libqt6widgets6 libqt6serialport6 libqt6network6 qt6-qpa-plugins; do
  grep -q "$need" <<<"$depends" || fail "tova-control has no dependency on $need: $depends"
done
grep -q fonts-ipafont-gothic <<<"$(dpkg-deb --field "$control" Recommends)" || fail "the IPA fonts are not recommended"
depends=$(dpkg-deb --field "$bridge" Depends)
for need in libqt6core6 libqt6network6 libqt6serialport6 libqt6httpserver6; do
  grep -q "$need" <<<"$depends" || fail "tova-bridge has no dependency on $need: $depends"
done
for never in libqt6widgets6 libqt6gui6 qt6-qpa-plugins fonts-ipafont-gothic; do
  grep -q "$never" <<<"$(dpkg-deb -I "$bridge")" && fail "tova-bridge needs $never, which a headless box has no use for"
done
# The upgrade from the one package of 1.40: the bridge's files move to tova-bridge.
for field in Breaks Replaces; do
  [ "$(dpkg-deb --field "$bridge" $field)" = "tova-control (<< 1.41.0)" ] || fail "tova-bridge's $field: $(dpkg-deb --field "$bridge" $field)"
done
for deb in "$control" "$bridge"; do
  [ "$(dpkg-deb --field "$deb" Version)" = "$version" ] || fail "$deb: version $(dpkg-deb --field "$deb" Version)"
  # lintian: no error and no warning; what it only informs about is shown.
  lintian_out=$(lintian -I --pedantic --tag-display-limit 0 "$deb" 2>&1 | grep -v 'root privileges' || true)
  if grep -E '^[EW]:' <<<"$lintian_out"; then fail "lintian reports the lines above for $deb"; fi
  [ -z "$lintian_out" ] || echo "lintian (informational): $lintian_out"
done
# Side by side: no file in both.
both=$(comm -12 <(dpkg-deb -c "$control" | awk '$6 !~ /\/$/ { print $6 }' | sort) \
                <(dpkg-deb -c "$bridge" | awk '$6 !~ /\/$/ { print $6 }' | sort))
[ -z "$both" ] || fail "in both packages: $both"

dpkg-deb -x "$control" "$root/fs"
dpkg-deb -x "$bridge" "$root/fs"
share="$root/fs/usr/share"
validate=$(desktop-file-validate "$share/applications/tova-control.desktop" 2>&1 || true)
[ -z "$validate" ] || fail "desktop-file-validate: $validate"
# AppStream: nothing but the warnings about the component id (no domain of our own yet).
appstream=$(appstreamcli validate --no-net --explain "$share/metainfo/tova-control.metainfo.xml" 2>&1 || true)
if grep -E '^[EW]:' <<<"$appstream" | grep -vE 'cid-desktopapp-is-not-rdns|cid-contains-hyphen'; then
  fail "appstreamcli reports the lines above"
fi
in_package() { dpkg-deb -c "$1" | awk '{ print $6 }' | grep -qx "./$2" || fail "$2 is not in $(basename "$1")"; }
for f in usr/share/applications/tova-control.desktop usr/share/metainfo/tova-control.metainfo.xml \
         usr/share/icons/hicolor/128x128/apps/tova-control.png usr/share/doc/tova-control/copyright \
         usr/share/doc/tova-control/changelog.gz usr/share/man/man1/tova-control.1.gz usr/share/man/man1/tova-sim.1.gz \
         usr/share/man/man1/tova-send.1.gz usr/bin/tova-control usr/bin/tova-send usr/bin/tova-sim; do
  in_package "$control" "$f"
done
for f in usr/bin/tova-bridge usr/share/man/man1/tova-bridge.1.gz usr/share/doc/tova-bridge/examples/tova-bridge.conf \
         usr/share/doc/tova-bridge/copyright usr/share/doc/tova-bridge/changelog.gz lib/systemd/system/tova-bridge@.service \
         usr/share/tova-bridge/prometheus/tova-alerts.yml usr/share/tova-bridge/prometheus/tova-alerts.test.yml \
         usr/share/tova-bridge/prometheus/prometheus.example.yml usr/share/tova-bridge/grafana/tova-fleet.json; do
  in_package "$bridge" "$f"
done
page=$(zcat "$share/man/man1/tova-send.1.gz")
for section in "Exit status" "EXAMPLES" "SEE ALSO" "COMMAND CODES"; do
  grep -q "^\.S[HS] \"\?$section" <<<"$page" || fail "tova-send's manual page has no $section"
done
# Every licence a package ships under (a file's SPDX identifier, the metadata's licences) has
# its own paragraph in its copyright file, and a Files stanza that names it.
for package in tova-control tova-bridge; do
  copyright="$share/doc/$package/copyright"
  licences=$( (grep -rhoE 'SPDX-License-Identifier: [A-Za-z0-9.+-]+' "$root/fs" | sed 's/.*: //';
               grep -hoE '<(metadata|project)_license>[^<]+' "$share/metainfo/tova-control.metainfo.xml" | sed 's/.*>//') | sort -u)
  for licence in $licences; do
    grep -qx "License: $licence" "$copyright" || fail "$package's copyright file has no licence text or reference for $licence"
    grep -q "^License: $licence\$" <(awk '/^Files:/ { f = 1 } f && /^License:/ { print; f = 0 }' "$copyright") ||
      fail "no Files stanza of $package's copyright file is under $licence"
  done
done
grep -q "^\.SH \"\?FILES" <<<"$(zcat "$share/man/man1/tova-control.1.gz")" || fail "tova-control's page has no FILES"
unit="$root/fs/lib/systemd/system/tova-bridge@.service"
for key in "DynamicUser=yes" "SupplementaryGroups=dialout" "Restart=on-failure" "After=network-online.target" \
           "RestartPreventExitStatus=64" "ExecReload=/bin/kill -HUP \$MAINPID" "UMask=0077" "OOMPolicy=stop" \
           "TasksMax=16"; do
  grep -qx "$key" "$unit" || fail "the service lacks $key"
done
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
  [ "$(env -u DISPLAY "$root/fs/usr/bin/$prog" --version)" = "$prog $version" ] || fail "$prog --version"
  file "$root/fs/usr/bin/$prog" | grep -q ", stripped" || fail "$prog is not stripped"
done
echo "package test passed"
