#!/bin/bash
# Runs a command against a private X server: starts Xvfb on the first free display, runs
# the command with DISPLAY set, stops the server, and exits with the command's status.
set -u
command -v Xvfb >/dev/null || { echo "with_xvfb: Xvfb is not installed (make deps installs it)" >&2; exit 1; }

display=""
for n in $(seq 90 189); do
    # The lock file is the server's own claim on a display number.
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        server=$!
        for _ in $(seq 100); do
            [ -e "/tmp/.X11-unix/X$n" ] && break
            kill -0 "$server" 2>/dev/null || break
            sleep 0.05
        done
        if [ -e "/tmp/.X11-unix/X$n" ] && kill -0 "$server" 2>/dev/null; then
            display=":$n"
            break
        fi
        # Another test took this number first.
        kill "$server" 2>/dev/null
        wait "$server" 2>/dev/null
    fi
done
[ -n "$display" ] || { echo "with_xvfb: could not start Xvfb on any display from :90 to :189" >&2; exit 1; }
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null' EXIT

export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
DISPLAY="$display" "$@"
