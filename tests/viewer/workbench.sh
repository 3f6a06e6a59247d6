#!/bin/bash
# The workbench under a private X server, as a user meets it. Run under with_xvfb.sh.
# - An inspector colour edit changes the drawn pixels and undoes; an attribute edit keys the
#   current frame; Save writes a file that loads to the same picture, keeping what the
#   viewer does not model.
# - Hovering an arrow whose "cursorType" is "PointingHandle" shows the pointing hand.
# - Killed after edits, the viewer left a recovery file; started again it offers it, even
#   when the scene file is newer (a checkout): taken, the scene draws as it was edited;
#   refused, as the file says.
# Every wait is for a state (a file, a line printed, the window's cursor), never a time.
set -eu
viewer=$1
here=$(cd "$(dirname "$0")" && pwd)
dir=$(mktemp -d)
trap 'rm -rf "$dir"; [ -n "${pid:-}" ] && kill -9 "$pid" 2>/dev/null || true' EXIT
fail() { echo "FAIL: $*"; exit 1; }
. "$here/wait.sh"

# ---- inspector and save
cp "$here/workbench_scene.json" "$dir/scene.json"
"$viewer" --answer no --quit --out "$dir/out" --script "$here/inspect_save_script.json" "$dir/scene.json" ||
    fail "the inspector script failed"
grep -q '"x-note": "kept as written"' "$dir/scene.json" || fail "the save lost a property the viewer does not use"
grep -q '"curve": "bezier"' "$dir/scene.json" || fail "the save did not write the key"
# Save As wrote the same scene to the copy, and the window then saved its next edit there.
[ -s "$dir/out/copy.json" ] || fail "Save As wrote no copy"
tr -d ' \n' <"$dir/out/copy.json" | grep -q '"keys":\[\[5,0.25\]\]' || fail "the edit after Save As did not go to the copy"
tr -d ' \n' <"$dir/scene.json" | grep -q '"keys":\[\[5,0.5\]\]' || fail "the old file lost what was saved there"
"$viewer" --quit --out "$dir/again" --script "$here/render_script.json" "$dir/scene.json" || fail "the saved scene"
cmp "$dir/out/edited.png" "$dir/again/reloaded.png" || fail "the saved scene draws otherwise"
ls "$dir" | grep -qv -e '^scene.json$' -e '^out$' -e '^again$' && fail "a temporary file was left: $(ls "$dir")"

# ---- hover
# The window's script waits for its cursor to change; the pointer moves along the shaft
# until the window has quit (the first moves may arrive before it tracks the pointer).
cp "$here/workbench_scene.json" "$dir/hover.json"
"$viewer" --answer no --quit --print-viewport --script "$here/hover_script.json" \
    "$dir/hover.json" >"$dir/hover.log" 2>&1 &
pid=$!
viewportShown() { grep -q '^viewport: ' "$dir/hover.log" || ! kill -0 "$pid" 2>/dev/null; }
waitUntil "the viewport shown" viewportShown || exit 1
read -r x y w h < <(sed -n 's/^viewport: \[\([0-9-]*\), \([0-9-]*\), \([0-9]*\), \([0-9]*\)\]$/\1 \2 \3 \4/p' "$dir/hover.log")
[ -n "${h:-}" ] || fail "the viewer never showed its viewport: $(cat "$dir/hover.log")"
step=0
# True once the viewer has quit; until then, one more move along the shaft.
quitAfterHover() {
    kill -0 "$pid" 2>/dev/null || return 0
    step=$(((step + 1) % 10))
    xdotool mousemove $((x + w / 2 + 40 + step * 2)) $((y + h / 2))
    return 1
}
waitUntil "the hovered viewer's quitting" quitAfterHover || exit 1
# The script passed: the window showed the pointing hand. (Once it ends, the viewport
# leaves the scene's size, and the arrow may move from under the pointer.)
wait "$pid" || fail "hovering the arrow: $(cat "$dir/hover.log")"
pid=

# ---- recovery after SIGKILL
cp "$here/workbench_scene.json" "$dir/crash.json"
"$viewer" --answer no --out "$dir/crashed" --script "$here/crash_script.json" "$dir/crash.json" \
    >"$dir/crash.log" 2>&1 &
pid=$!
# The script's last picture comes once the recovery file holds the edits.
waitUntil "the edited picture" existsWhileRunning "$dir/crashed/edited.png" || { cat "$dir/crash.log"; exit 1; }
kill -9 "$pid"
wait "$pid" 2>/dev/null || true
pid=
cp "$dir/crash.json.recovery" "$dir/kept.recovery"
touch -d '1 minute' "$dir/crash.json"
"$viewer" --answer yes --quit --out "$dir/restored" --script "$here/render_script.json" "$dir/crash.json" ||
    fail "the restoring viewer failed"
cmp "$dir/crashed/edited.png" "$dir/restored/reloaded.png" || fail "the restored scene draws otherwise than the edited one"
cp "$dir/kept.recovery" "$dir/crash.json.recovery"
"$viewer" --answer no --quit --out "$dir/refused" --script "$here/render_script.json" "$dir/crash.json" ||
    fail "the refusing viewer failed"
cmp "$dir/out/red.png" "$dir/refused/reloaded.png" || fail "refused, the recovery file still changed the scene"
[ -e "$dir/crash.json.recovery" ] && fail "the refused recovery file is still there"
echo PASS
