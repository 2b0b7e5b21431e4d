#!/usr/bin/env bash
# systemd-analyze verify on the load units, instantiated for a sign, with
# the command as built: any complaint fails, also one systemd only warns of.
#   systemd_units.sh UNIT-FOLDER TELVARO-CLI
set -euo pipefail
if ! systemd-analyze --version >/dev/null 2>&1; then
    echo "SKIPPED: systemd-analyze cannot run here; the units are not checked." >&2
    exit 77
fi
units=$(mktemp -d)
trap 'rm -rf "$units"' EXIT
cp "$1"/telvaro-load@.service "$1"/telvaro-load@.timer "$units"/
sed -i "s#^ExecStart=telvaro-cli #ExecStart=$2 #" "$units"/telvaro-load@.service
grep -q "^ExecStart=$2 " "$units"/telvaro-load@.service
report=$(systemd-analyze verify --man=no "$units"/telvaro-load@sign-07.service "$units"/telvaro-load@sign-07.timer 2>&1) ||
    { echo "$report"; exit 1; }
[ -z "$report" ] || { echo "$report"; exit 1; }

# The bridge's unit: verified the same way, and hardened as the load units
# (an exposure of at most 2.0).
cp "$1"/telvaro-bridge.service "$units"/
sed -i "s#^ExecStart=telvaro-bridge #ExecStart=$(dirname "$2")/telvaro-bridge #" "$units"/telvaro-bridge.service
grep -q "^ExecStart=$(dirname "$2")/telvaro-bridge " "$units"/telvaro-bridge.service
report=$(systemd-analyze verify --man=no "$units"/telvaro-bridge.service 2>&1) || { echo "$report"; exit 1; }
[ -z "$report" ] || { echo "$report"; exit 1; }
systemd-analyze security --offline=true --threshold=20 "$units"/telvaro-bridge.service >/dev/null ||
    { systemd-analyze security --offline=true "$units"/telvaro-bridge.service | tail -1; exit 1; }
