#!/bin/bash
# Runs a command against a private X server: starts Xvfb on a free display, runs the
# command with DISPLAY set, stops the server, and exits with the command's status.
set -u
command -v Xvfb >/dev/null || { echo "with_xvfb: Xvfb is not installed (make deps installs it)" >&2; exit 1; }

# The server picks its own display number and writes it once it listens: checking for a free
# number and then claiming it races with the other tests, and two tests once shared a server.
numberFile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$numberFile" >/dev/null 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; rm -f "$numberFile"' EXIT
. "$(dirname "$0")/wait.sh"
listening() { [ -s "$numberFile" ] || ! kill -0 "$server" 2>/dev/null; }
waitUntil "Xvfb listening" listening
number=$(tr -dc '0-9' <"$numberFile")
[ -n "$number" ] || { echo "with_xvfb: Xvfb did not start" >&2; exit 1; }

export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
# The private session has no message bus. Left unset, the address sends libdbus looking for
# one through the X server on Qt's behalf, and the connection thread Qt stops at exit leaves
# a libdbus string buffer behind, which LeakSanitizer rightly reports.
export DBUS_SESSION_BUS_ADDRESS=disabled:
DISPLAY=":$number" "$@"
