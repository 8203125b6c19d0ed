#!/usr/bin/env bash
# Builds the Debian package, unpacks it into a temporary root and runs each program from there.
set -euo pipefail
build="$1"
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
cd "$build"
cpack -G DEB -B "$root/out" >/dev/null
deb=$(ls "$root"/out/tova-control_*.deb)
depends=$(dpkg-deb --field "$deb" Depends)
for need in libqt6widgets6 libqt6serialport6 libqt6network6 qt6-qpa-plugins fonts-ipafont-gothic; do
  grep -q "$need" <<<"$depends" || { echo "package does not depend on $need: $depends"; exit 1; }
done
dpkg-deb -x "$deb" "$root/fs"
for f in usr/share/applications/tova-control.desktop usr/share/metainfo/tova-control.metainfo.xml \
         usr/share/icons/hicolor/128x128/apps/tova-control.png usr/share/man/man1/tova-control.1 \
         usr/share/man/man1/tova-sim.1 usr/share/man/man1/tova-send.1; do
  [ -s "$root/fs/$f" ] || { echo "missing from the package: $f"; exit 1; }
done
for prog in tova-control tova-sim tova-send; do
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/fs/usr/bin/$prog" --help)
  grep -q "Usage: .*$prog" <<<"$out" || { echo "$prog --help printed: $out"; exit 1; }
  grep -q -- "--help" <<<"$out" || { echo "$prog --help lists no options"; exit 1; }
done
file "$root/fs/usr/bin/tova-control" | grep -q ", stripped" || { echo "tova-control is not stripped"; exit 1; }
echo "1 passed, 0 failed"
