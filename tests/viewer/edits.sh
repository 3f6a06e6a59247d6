#!/bin/bash
# Edits typed into the inspector, then a save, as a user makes them. Run under with_xvfb.sh.
# - An edit that would make a value or key no file can hold is refused with a message;
#   a number editor takes every number a scene file holds, in any notation, and refuses
#   the rest with a message, putting the value back (edits_script.json).
# - A range edit records one command; a click elsewhere afterwards records nothing, and
#   after a save the scene is not marked unsaved by a click.
# - Save writes through a symbolic link, keeps the file's mode, and the file's other hard
#   link keeps the previous text; what it wrote loads in the runner.
set -eu
viewer=$1
runner=$2
here=$(cd "$(dirname "$0")" && pwd)
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

mkdir "$dir/real"
cp "$here/edits_scene.json" "$dir/real/scene.json"
chmod 640 "$dir/real/scene.json"
ln "$dir/real/scene.json" "$dir/twin.json"
ln -s real/scene.json "$dir/link.json"
"$viewer" --quit --out "$dir/out" --print-on-exit unsaved --script "$here/edits_script.json" "$dir/link.json" \
    >"$dir/log" 2>&1 || fail "the edits script failed: $(cat "$dir/log")"
grep -qx 'unsaved: false' "$dir/log" || fail "a click after the save marked the scene unsaved: $(cat "$dir/log")"
[ -L "$dir/link.json" ] || fail "the save replaced the symbolic link with a file"
cmp -s "$here/edits_scene.json" "$dir/real/scene.json" && fail "the link's target did not get the edits"
[ "$(stat -c %a "$dir/real/scene.json")" = 640 ] || fail "the save changed the mode to $(stat -c %a "$dir/real/scene.json")"
cmp -s "$here/edits_scene.json" "$dir/twin.json" || fail "the other hard link changed"
"$runner" "$dir/link.json" >"$dir/run.log" 2>&1 || fail "the saved file does not load: $(cat "$dir/run.log")"
ls "$dir/real" | grep -qvx 'scene.json' && fail "a temporary file was left: $(ls "$dir/real")"
echo PASS
