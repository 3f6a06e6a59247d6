#!/bin/bash
# The example rigs are built in the workbench from an empty file by its own authoring steps
# (each played through the window as its outliner and inspector play them), tried with a
# few drags, saved and recorded. Run under with_xvfb.sh:
# - building again gives the shipped rig and the shipped recording, byte for byte (so the
#   examples are what the workbench makes, and a change in what it makes or records shows);
# - the recording replays green in the runner.
set -eu
viewer=$1
runner=$2
here=$(cd "$(dirname "$0")" && pwd)
examples=$(cd "$here/../../examples" && pwd)
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

for rig in limb face_panel; do
    cp "$here/empty_rig.json" "$dir/$rig.json"
    "$viewer" --quit --out "$dir/out" --script "$here/${rig}_build.json" --record "$dir/${rig}_session.json" \
        "$dir/$rig.json" >"$dir/log" 2>&1 || fail "building $rig failed: $(cat "$dir/log")"
    cmp -s "$dir/$rig.json" "$examples/$rig.json" ||
        fail "$rig built otherwise than examples/$rig.json: $(diff "$examples/$rig.json" "$dir/$rig.json" | head -20)"
    cmp -s "$dir/${rig}_session.json" "$examples/${rig}_session.json" ||
        fail "$rig recorded otherwise: $(diff "$examples/${rig}_session.json" "$dir/${rig}_session.json" | head -20)"
    "$runner" --out "$dir/out" "$dir/${rig}_session.json" >"$dir/run.log" 2>&1 ||
        fail "the recording of $rig does not replay: $(cat "$dir/run.log")"
done
echo PASS
