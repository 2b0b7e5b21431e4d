#!/usr/bin/env bash
# Packs the build with CPack as scripts/package does and has lintian check
# the .deb: an error or a warning fails.
#   package_lintian.sh BUILD-FOLDER
set -euo pipefail
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cpack --config "$1/CPackConfig.cmake" -B "$out" >/dev/null 2>&1
status=0
lintian --fail-on error,warning -I "$out"/telvaro_*.deb >"$out/report" 2>&1 || status=$?
grep -v '^running with root privileges' "$out/report" || true
exit $status
