#!/bin/bash
# What cannot be written is said, and nothing is half written. Run under with_xvfb.sh.
# - When the recovery file cannot be written, the window says so, so that the user saves
#   before trusting it. A directory stands where the recovery file goes: a read-only
#   folder would not stop root, which CI runs as.
# - A save that cannot be written names the file and why, and the step fails.
set -eu
viewer=$1
here=$(cd "$(dirname "$0")" && pwd)
dir=$(mktemp -d)
trap 'rm -rf "$dir"; [ -n "${pid:-}" ] && kill -9 "$pid" 2>/dev/null || true' EXIT
fail() { echo "FAIL: $*"; exit 1; }
. "$here/wait.sh"

cp "$here/workbench_scene.json" "$dir/scene.json"
mkdir "$dir/scene.json.recovery"
# Not --quit: a script's run that ends by itself keeps no recovery file.
"$viewer" --answer no --out "$dir/out" --script "$here/recovery_unwritable_script.json" "$dir/scene.json" \
    >"$dir/log" 2>&1 &
pid=$!
waitUntil "the message about the recovery file" existsWhileRunning "$dir/out/said.png" || { cat "$dir/log"; exit 1; }
kill -9 "$pid"
wait "$pid" 2>/dev/null || true
pid=
[ -d "$dir/scene.json.recovery" ] || fail "what stood at the recovery file's place was replaced"
cmp -s "$here/workbench_scene.json" "$dir/scene.json" || fail "the scene file changed without a save"
ls "$dir" | grep -qvxE 'scene.json|scene.json.recovery|out|log' && fail "a temporary file was left: $(ls "$dir")"

echo '[{"select": ["handle"]}, {"inspect": {"property": "color", "value": [0, 0, 255, 255]}},
      {"saveAs": "missing/copy.json"}]' >"$dir/save_script.json"
"$viewer" --quit --out "$dir/saved" --script "$dir/save_script.json" "$dir/scene.json" >"$dir/save.log" 2>&1 &&
    fail "a save into a missing folder passed"
grep -q "Cannot save $dir/saved/missing/copy.json: .*; the file is as it was" "$dir/save.log" ||
    fail "the failed save did not say why: $(cat "$dir/save.log")"
grep -q 'step 3: the scene could not be saved' "$dir/save.log" || fail "the save step did not fail: $(cat "$dir/save.log")"
cmp -s "$here/workbench_scene.json" "$dir/scene.json" || fail "the failed Save As changed the scene file"
echo PASS
