#!/bin/bash
# When the recovery file cannot be written, the window says so, so that the user saves
# before trusting it. A directory stands where the recovery file goes: a read-only folder
# would not stop root, which CI runs as. Run under with_xvfb.sh.
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
echo PASS
