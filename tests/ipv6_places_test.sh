#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the web listener's tests of many IPv6 addresses in a network namespace of their own, whose
# loopback gets addresses of the documentation prefix (2001:db8:1::1 to ::16 and ::100,
# 2001:db8:2::1): nothing of this machine's network changes, and nothing leaves it.
set -euo pipefail
tests="$1"
if [ "$(id -u)" -ne 0 ]; then
  echo "ipv6 places test: a network namespace needs root (unshare --net); skipped"
  exit 77
fi
for tool in unshare ip; do
  command -v "$tool" >/dev/null || { echo "ipv6 places test: $tool is missing (scripts/setup installs it)"; exit 1; }
done
exec unshare --net bash -c '
  ip link set lo up
  for a in $(seq 1 16) 100; do ip -6 addr add "2001:db8:1::$a/64" dev lo nodad; done
  ip -6 addr add 2001:db8:2::1/64 dev lo nodad
  TOVA_IPV6_PREFIX_READY=1 QT_QPA_PLATFORM=offscreen exec "$1" --gtest_filter="WebListenerIpv6.*"' ipv6 "$tests"
