#!/bin/bash
# A scene file that cannot be loaded opens a window that says why, as a reload of a broken
# file does, and the scene shows once the file is put right. Run under with_xvfb.sh.
set -eu
viewer=$1
here=$(cd "$(dirname "$0")" && pwd)
dir=$(mktemp -d)
trap 'rm -rf "$dir"; [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null || true' EXIT
fail() { echo "FAIL: $*"; cat "$dir/log"; exit 1; }
scene=$dir/scene.json
cp "$here/../scenes/bad/bad_camera.json" "$scene"

"$viewer" --answer no --out "$dir/out" --script "$here/broken_scene_script.json" --print-on-exit loadError \
    "$scene" >"$dir/log" 2>&1 &
pid=$!
. "$here/wait.sh"
waitFor() { waitUntil "$1" existsWhileRunning "$1" || fail "$1 never appeared"; }
waitFor "$dir/out/broken.png"
cp "$here/workbench_scene.json" "$scene"
waitFor "$dir/out/fixed.png"
# Closed as a user closes it.
waitUntil "the viewer's window focused" focusViewer || fail "no window to close"
xdotool key ctrl+q
status=0
wait "$pid" || status=$?
pid=
[ "$status" = 0 ] || fail "the viewer exited with $status"
grep -q "scene.json: camera: the eye and the target are the same point" "$dir/log" ||
    fail "the broken file's message did not reach the terminal"
grep -qx 'loadError: ""' "$dir/log" || fail "the message stayed after the file was put right"
cat "$dir/log"
echo PASS
