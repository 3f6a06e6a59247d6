#!/bin/bash
# The title names the file and stars unsaved edits; File > Open shows another file, and
# the recent files list it newest first, without files that are gone. Run under
# with_xvfb.sh, with settings of its own.
set -eu
viewer=$1
here=$(cd "$(dirname "$0")" && pwd)
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
export XDG_CONFIG_HOME="$dir/config"

mkdir "$dir/out"
cp "$here/workbench_scene.json" "$dir/a.json"
cp "$here/workbench_scene.json" "$dir/out/b.json"
cp "$here/workbench_scene.json" "$dir/c.json"
"$viewer" --quit --out "$dir/out" --print-on-exit recent,unsaved --script "$here/open_recent_script.json" \
    "$dir/a.json" >"$dir/log" 2>&1 || fail "the script failed: $(cat "$dir/log")"
grep -qx "recent: $dir/out/b.json,$dir/a.json" "$dir/log" || fail "not newest first: $(cat "$dir/log")"
grep -qx 'unsaved: true' "$dir/log" || fail "the edit of the opened file was not unsaved: $(cat "$dir/log")"
cmp -s "$here/workbench_scene.json" "$dir/a.json" && fail "the save before opening another file was lost"
cmp -s "$here/workbench_scene.json" "$dir/out/b.json" || fail "the opened file changed without a save"

# Opening over unsaved edits asks first; told no, the scene stays.
echo '[{"select": ["handle"]}, {"inspect": {"attribute": "tx", "value": 2}}, {"open": "c.json"}]' >"$dir/refused.json"
"$viewer" --quit --answer no --out "$dir" --print-on-exit handle.tx --script "$dir/refused.json" "$dir/a.json" \
    >"$dir/log" 2>&1 && fail "opening over unsaved edits did not ask: $(cat "$dir/log")"
grep -qx 'handle.tx: 2.0' "$dir/log" || fail "the unsaved edits were not kept: $(cat "$dir/log")"

rm "$dir/out/b.json"
echo '[]' >"$dir/none.json"
"$viewer" --quit --print-on-exit recent --script "$dir/none.json" "$dir/c.json" >"$dir/log" 2>&1 ||
    fail "the viewer failed: $(cat "$dir/log")"
grep -qx "recent: $dir/c.json,$dir/a.json" "$dir/log" || fail "a missing file stayed in the list: $(cat "$dir/log")"
echo PASS
