#!/usr/bin/env bash
# Starts the real program on a virtual X server: once start-up is over the
# main window is shown with its caption, and the program ends on SIGTERM.
set -u
home="$(mktemp -d)"
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_CONFIG_HOME="$home/.config"
unset QT_QPA_PLATFORM
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    "$0" & pid=$!
    for _ in $(seq 1 100); do
        if xwininfo -root -tree 2>/dev/null | grep -q "\"Telvaro - Test Mode\""; then
            kill "$pid" && timeout 5 tail --pid="$pid" -f /dev/null && echo "main window up" && exit 0
            echo "the program was gone, or did not end on SIGTERM" >&2
            exit 1
        fi
        sleep 0.1
    done
    echo "no main window titled \"Telvaro - Test Mode\" after 10 s" >&2
    xwininfo -root -tree >&2
    kill "$pid"
    exit 1
' "$1"
