#!/usr/bin/env bash
# Starts the real program on a virtual X server: once start-up is over the
# main window is shown with its caption, and the program ends on SIGTERM.
set -u
program="$1"
home="$(mktemp -d)"
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_CONFIG_HOME="$home/.config"
unset QT_QPA_PLATFORM
exec xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    "$0" & pid=$!
    for _ in $(seq 1 100); do
        tree="$(xwininfo -root -tree 2>/dev/null)"
        if grep -q "\"Telvaro - Test Mode\"" <<<"$tree"; then
            kill -0 "$pid" || exit 1
            kill "$pid"; wait "$pid"
            echo "main window up: Telvaro - Test Mode"
            exit 0
        fi
        sleep 0.1
    done
    echo "no main window titled \"Telvaro - Test Mode\" after 10 s" >&2
    xwininfo -root -tree >&2
    kill "$pid"
    exit 1
' "$program"
