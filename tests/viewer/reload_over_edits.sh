#!/bin/bash
# A scene file that changes on disk while the window holds unsaved edits: the viewer asks
# before the reload would throw them away. Answered no, the edits stay and the status bar
# says the file was not loaded; answered yes, the file's scene replaces them and the undo
# history starts again. Run under with_xvfb.sh.
set -eu
viewer=$1
here=$(cd "$(dirname "$0")" && pwd)
dir=$(mktemp -d)
. "$here/wait.sh"
trap 'rm -rf "$dir"; [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null || true' EXIT

for answer in no yes; do
    scene=$dir/$answer.json
    cp "$here/workbench_scene.json" "$scene"
    "$viewer" --answer "$answer" --quit --out "$dir/$answer" --script "$here/reload_over_edits_$answer.json" "$scene" \
        >"$dir/$answer.log" 2>&1 &
    pid=$!
    waitUntil "the edit drawn ($answer)" existsWhileRunning "$dir/$answer/edited.png" ||
        { cat "$dir/$answer.log"; exit 1; }
    # Saved the way editors do: a new file renamed over the old one, with a node moved up.
    sed 's/"value": 0.0}}/"value": 0.0}, "ty": {"type": "double", "value": 1}}/; s/"attributes": \["tx"\]}\],/"attributes": ["tx"]}, {"type": "TRANSLATION_Y", "attributes": ["ty"]}],/' \
        "$scene" >"$dir/new.json"
    mv "$dir/new.json" "$scene"
    status=0
    wait "$pid" || status=$?
    pid=
    [ "$status" = 0 ] || { echo "FAIL ($answer): the viewer exited with $status"; cat "$dir/$answer.log"; exit 1; }
done
echo PASS
