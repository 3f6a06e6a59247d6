#!/bin/bash
# Live reload: the viewer shows a scene while the file is rewritten on disk, the way editors
# save (a new file renamed over the old one, or the file written in place). Each change
# shows without a restart, checked by pixels; a broken file keeps the last good scene on
# screen and shows its message until the file loads or the scene is saved over it; the
# frame and the selection stay. Run under with_xvfb.sh.
set -eu
viewer=$1
here=$(cd "$(dirname "$0")" && pwd)
dir=$(mktemp -d)
trap 'rm -rf "$dir"; [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null || true' EXIT
scene=$dir/scene.json
cp "$here/workbench_scene.json" "$scene"

"$viewer" --answer no --quit --out "$dir/out" --script "$here/reload_script.json" "$scene" >"$dir/log" 2>&1 &
pid=$!
. "$here/wait.sh"
waitFor() { waitUntil "$1" existsWhileRunning "$1" || { cat "$dir/log"; exit 1; }; }
# The selection shows in the selection colour; moving the node up by a unit shows it there.
waitFor "$dir/out/before.png"
sed 's/"value": 0.0}}/"value": 0.0}, "ty": {"type": "double", "value": 1}}/; s/"attributes": \["tx"\]}\],/"attributes": ["tx"]}, {"type": "TRANSLATION_Y", "attributes": ["ty"]}],/' \
    "$scene" >"$dir/new.json"
mv "$dir/new.json" "$scene"
waitFor "$dir/out/after.png"
# A broken save, written in place.
sed -i 's/"tx": {"type": "double", "value": 0.0}/"tx": {"value": 0.0}/' "$scene"
waitFor "$dir/out/kept.png"
cp "$here/drag_scene.json" "$scene"
status=0
wait "$pid" || status=$?
pid=
cat "$dir/log"
[ "$status" = 0 ] || { echo "FAIL: the viewer exited with $status"; exit 1; }
grep -q 'scene.json: nodes\[0\].attributes.tx: missing "type"' "$dir/log" ||
    { echo "FAIL: the broken file's message did not reach the terminal"; exit 1; }
echo PASS
