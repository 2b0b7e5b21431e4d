#!/usr/bin/env bash
# The units as shipped, with the command as built: systemd-analyze verify on
# each, instantiated for a sign (any complaint fails, also one systemd only
# warns of), and systemd-analyze security on each service, whose exposure
# must stay at 2.0 or below (the threshold counts tenths); the service user's
# sysusers.d file as systemd-sysusers reads it; and the load's command for a
# sign the registry does not hold, which must fail rather than load nothing.
#   systemd_units.sh UNIT-FOLDER TELVARO-CLI
set -euo pipefail
if ! systemd-analyze --version >/dev/null 2>&1; then
    echo "SKIPPED: systemd-analyze cannot run here; the units are not checked." >&2
    exit 77
fi
units=$(mktemp -d)
trap 'rm -rf "$units"' EXIT
cp "$1"/*.service "$1"/*.timer "$units"/
sed -i "s#^ExecStart=telvaro-cli #ExecStart=$2 #" "$units"/*.service
sed -i "s#^ExecStart=telvaro-bridge #ExecStart=$(dirname "$2")/telvaro-bridge #" "$units"/telvaro-bridge.service
grep -q "^ExecStart=$(dirname "$2")/telvaro-bridge " "$units"/telvaro-bridge.service
grep -q "^ExecStart=$2 " "$units"/telvaro-load@.service
instances=()
for unit in "$units"/*.service "$units"/*.timer; do
    name=$(basename "$unit")
    case $name in
    *@.*) instances+=("$units/${name/@./@sign-07.}") ;;
    *) instances+=("$unit") ;;
    esac
done
report=$(systemd-analyze verify --man=no "${instances[@]}" 2>&1) || { echo "$report"; exit 1; }
[ -z "$report" ] || { echo "$report"; exit 1; }
status=0
for service in "$units"/*.service; do
    result=$(systemd-analyze security --offline=true --threshold=20 "$service" 2>&1) || {
        echo "$result"
        status=1
    }
    echo "$result" | grep 'Overall exposure level'
done

# A missed night is made up only by the timer that says so; a sign without
# its file fails rather than being skipped by a condition.
grep -q '^Persistent=true' "$units"/telvaro-load@.timer && { echo "telvaro-load@.timer makes up missed nights"; status=1; }
grep -q '^Persistent=true' "$units"/telvaro-load-catchup@.timer || { echo "the catch-up timer makes nothing up"; status=1; }
grep -q '^Condition' "$units"/telvaro-load@.service && { echo "telvaro-load@.service skips on a condition"; status=1; }

root=$units/root
mkdir -p "$root/etc"
cp /etc/passwd /etc/group "$root/etc/"
sysusers=$(systemd-sysusers --root="$root" --dry-run "$(cd "$1/../sysusers" && pwd)/telvaro.conf" 2>&1) &&
    ! grep -qi 'ignoring\|fail' <<<"$sysusers" || { echo "$sysusers"; status=1; }

# The load's own command, its folders moved to a scratch folder.
mkdir -p "$units/signs" "$units/log" "$units/state"
command=$(sed -n 's/^ExecStart=//p' "$units"/telvaro-load@.service |
    sed "s#/etc/telvaro/signs#$units/signs#; s#/var/log/telvaro#$units/log#; s#/var/lib/telvaro#$units/state#; s#%i#sign-07#g")
if HOME=$units $command >"$units/out" 2>&1; then
    echo "a load of a sign with no registry file ended with status 0: $command"
    cat "$units/out"
    status=1
fi
exit $status
