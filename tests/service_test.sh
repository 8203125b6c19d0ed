#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The bridge's service as a technician installs it from the README, and as systemd reads it,
# without starting systemd: the README's steps checked against the tova-bridge package; the
# instance tova-bridge@hall verified by systemd-analyze with nothing said; its Environment=,
# EnvironmentFile= and ExecStart= expanded as systemd documents them; and exactly that argument
# vector run, in a mount namespace of its own where the package's files and the instance's
# configuration stand where the README puts them, until a PJLink client is answered. Then the
# same with an environment file of the earlier form.
#   tests/service_test.sh PACKAGES_DIR TOVA_SIM
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../scripts/lib/cleanup.sh"
out="$1" sim="$2"
fail() { echo "service test: $*"; exit 1; }
for tool in systemd-analyze unshare node; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/setup installs it)"
done
unshare --mount --propagation private true 2>/dev/null || { echo "service test skipped: no mount namespace here"; exit 0; }
work=$(mktemp -d)
on_exit "rm -rf '$work'"
pkg="$work/pkg"
dpkg-deb -x "$(ls "$out"/tova-bridge_*.deb)" "$pkg"
unit="$pkg/lib/systemd/system/tova-bridge@.service"

# The README's steps, as a technician types them: every file they copy is in the package.
steps=$(sed -n '/^As a service, one instance per line/,/^The service runs as/p' "$here/../README.md")
example=$(grep -oE 'cp /usr/share/[^ ]+' <<<"$steps" | cut -d' ' -f2)
[ -n "$example" ] && [ -f "$pkg$example" ] || fail "the README copies '$example', which the package does not hold"
grep -q 'systemctl enable --now tova-bridge@hall' <<<"$steps" || fail "the README does not enable tova-bridge@hall"
config=$(grep -oE '/etc/tova-bridge/hall\.conf' <<<"$steps" | head -1)
[ "$config" = /etc/tova-bridge/hall.conf ] || fail "the README writes no /etc/tova-bridge/hall.conf"

# systemd-analyze verify on the instance, its program the package's: nothing to say.
cp "$unit" "$work/tova-bridge@hall.service"
sed -i "s|^ExecStart=/usr/bin/tova-bridge|ExecStart=$pkg/usr/bin/tova-bridge|" "$work/tova-bridge@hall.service"
said=$(systemd-analyze verify --man=no "$work/tova-bridge@hall.service" 2>&1 || true)
[ -z "$said" ] || fail "systemd-analyze verify says: $said"

# The virtual projector, and the example configuration pointed at it and at loopback ports.
in_group "$sim" --fast --link "$work/projector" >/dev/null 2>&1
for _ in $(seq 50); do [ -e "$work/projector" ] && break; sleep 0.1; done
mkdir -p "$work/root/etc/tova-bridge" "$work/root/etc/default"
sed -e "s|^device = .*|device = $work/projector|" -e 's|^listen = 127\.0\.0\.1:[0-9]*|listen = 127.0.0.1:0|' \
  "$pkg$example" >"$work/root/etc/tova-bridge/hall.conf"

# Runs the argument vector systemd would (as NUL-separated words in a file: a background job
# reads no standard input), with the unit's environment alone, where /usr holds
# the package's files over the system's and /etc the instance's configuration over the system's;
# prints the PJLink listener's answer to POWR ?.
serve() { # NAME ARGV-JSON ENV-JSON
  local log="$work/$1.log" port="" answer=""
  node -e 'const [a, e] = process.argv.slice(1).map(JSON.parse);
           for (const [k, v] of Object.entries(e)) process.stdout.write(k + "=" + v + "\0");
           process.stdout.write("--\0"); for (const w of a) process.stdout.write(w + "\0");' "$2" "$3" >"$work/$1.argv"
  in_group unshare --mount --propagation private bash -c '
    mount -t overlay overlay -o "lowerdir=$1/usr:/usr" /usr && mount -t overlay overlay -o "lowerdir=$2/etc:/etc" /etc || exit 99
    exec 4<"$3"; env=(); while IFS= read -r -d "" w <&4; do [ "$w" = -- ] && break; env+=("$w"); done; argv=()
    while IFS= read -r -d "" w <&4; do argv+=("$w"); done; exec 4<&-
    exec env -i PATH=/usr/bin:/bin LANG=C.UTF-8 "${env[@]}" "${argv[@]}"' serve "$pkg" "$work/root" "$work/$1.argv" 2>"$log"
  local pid=$!
  for _ in $(seq 100); do
    port=$(sed -n 's/.*PJLink on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$log" | head -1)
    [ -n "$port" ] && grep -q "open; serving" "$log" && break
    sleep 0.1
  done
  if [ -n "$port" ]; then
    exec 3<>"/dev/tcp/127.0.0.1/$port"
    IFS= read -r -d $'\r' -t 5 answer <&3 || true # the greeting
    printf '%%1POWR ?\r' >&3
    IFS= read -r -d $'\r' -t 5 answer <&3 || true
    exec 3>&-
  fi
  kill -- -"$pid" 2>/dev/null
  wait "$pid" 2>/dev/null || true
  echo "${answer:-no answer; the bridge said: $(tr '\n' ' ' <"$log")}"
}

expanded=$(node "$here/systemd/unit.mjs" "$unit" hall "$work/root")
argv=$(node -e 'const u = JSON.parse(process.argv[1]); if (u.warnings.length) { console.error(u.warnings.join("; ")); process.exit(1) }
                console.log(JSON.stringify(u.argv))' "$expanded") || fail "systemd would say: $(node -e 'console.log(JSON.parse(process.argv[1]).warnings.join("; "))' "$expanded")"
[ "$argv" = '["/usr/bin/tova-bridge","--config","/etc/tova-bridge/hall.conf"]' ] || fail "the service would run $argv"
env=$(node -e 'console.log(JSON.stringify(JSON.parse(process.argv[1]).env))' "$expanded")
answer=$(serve hall "$argv" "$env")
[ "$answer" = "%1POWR=0" ] || fail "tova-bridge@hall, as systemd starts it: $answer"
echo "service test: tova-bridge@hall runs $argv and answers $answer"

# The earlier form, an environment file with TOVA_BRIDGE_OPTIONS, still works in its place.
printf 'TOVA_BRIDGE_OPTIONS="--device %s --pjlink 127.0.0.1:0"\n' "$work/projector" >"$work/root/etc/default/tova-bridge-hall"
expanded=$(node "$here/systemd/unit.mjs" "$unit" hall "$work/root")
argv=$(node -e 'console.log(JSON.stringify(JSON.parse(process.argv[1]).argv))' "$expanded")
env=$(node -e 'console.log(JSON.stringify(JSON.parse(process.argv[1]).env))' "$expanded")
answer=$(serve earlier "$argv" "$env")
[ "$answer" = "%1POWR=0" ] || fail "with an environment file of the earlier form: $answer ($argv)"
echo "service test passed"
