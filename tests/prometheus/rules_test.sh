#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The shipped alert rules by Prometheus's own checker and against their tests, and the example
# scrape configuration as promtool reads it, its files put where it names them.
#   tests/prometheus/rules_test.sh PROMTOOL
set -euo pipefail
promtool="$1"
data="$(cd "$(dirname "$0")/../../data/prometheus" && pwd)"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$data"
"$promtool" check rules tova-alerts.yml
"$promtool" test rules tova-alerts.test.yml
sed "s|/etc/prometheus/|$scratch/|g" prometheus.example.yml >"$scratch/prometheus.yml"
cp tova-alerts.yml "$scratch/"
for file in $(grep -oE '/etc/prometheus/[a-z.-]+' prometheus.example.yml | sort -u); do
  [ -e "$scratch/$(basename "$file")" ] || echo "a token or certificate" >"$scratch/$(basename "$file")"
done
"$promtool" check config "$scratch/prometheus.yml"
