#!/bin/bash
# The timeline's keys, Auto Key and a zoom, driven with real X pointer and key events and
# recorded: a click on the arrow selects it and its keys show on the key track; a click
# and a Shift+click select both keys, a drag moves them 10 frames, the context menu makes
# the curve ease, a Control+click lets one go and Delete removes the other. The wheel zooms, Edit > Auto Key goes off, and a
# drag of the slider then sets its value without keying it. The window ends with those
# keys and values, the recording holds each as its step, and rigkit-run replays it green.
# Run under with_xvfb.sh.
set -eu
viewer=$1
run=$2
scene=$3
. "$(dirname "$0")/wait.sh"
dir=$(mktemp -d)
out=$dir/out
trap 'rm -rf "$dir"; [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null || true' EXIT
fail() { echo "FAIL: $*"; cat "$out"; exit 1; }
cp "$scene" "$dir/scene.json"

"$viewer" --answer no --print-viewport --record "$dir/session.json" \
    --print-on-exit handle.keys.tx,slider.keys.v,slider.v "$dir/scene.json" >"$out" 2>&1 &
pid=$!
shown() { grep -q '^keyTrack: ' "$out" || ! kill -0 "$pid" 2>/dev/null; }
waitUntil "the viewport shown" shown || exit 1
read -r x y w h < <(sed -n 's/^viewport: \[\([0-9-]*\), \([0-9-]*\), \([0-9]*\), \([0-9]*\)\]$/\1 \2 \3 \4/p' "$out")
read -r mx my mw first last row < <(sed -n 's/^keyTrack: //p' "$out" |
    python3 -c 'import json,sys; g=json.load(sys.stdin); print(*g["marks"][:3], g["first"], g["last"], g["row"])')
[ -n "${row:-}" ] || fail "the viewer never showed its viewport and key track"
waitUntil "the viewer's window focused" focusViewer || exit 1
# A frame's mark on the first row of the key track.
keyX() { python3 -c "print(round($mx + ($1 - $first) / ($last - $first) * $mw))"; }
keyY=$((my + row / 2))
# A popup menu of the viewer's is open (or not, with "!"): keys then go to it.
popups() { xdotool search --onlyvisible --pid "$pid" 2>/dev/null | wc -l; }
windows=$(popups)
menuOpen() { [ "$(popups)" -gt "$windows" ]; }
menuClosed() { [ "$(popups)" -le "$windows" ]; }

# The scene's camera is orthographic at 100 pixels a unit, centred: the arrow runs from the
# centre to the right, the slider's knob (v = 50) is a unit below the centre.
cx=$((x + w / 2))
cy=$((y + h / 2))
xdotool mousemove $((cx + 60)) "$cy" click 1                 # selects the arrow: handle.tx, keys at 1 and 21
xdotool mousemove "$(keyX 1)" "$keyY" click 1
xdotool mousemove "$(keyX 21)" "$keyY" keydown shift click 1 keyup shift
xdotool mousemove "$(keyX 21)" "$keyY" mousedown 1
for f in 23 26 29 31; do xdotool mousemove "$(keyX $f)" "$keyY"; done
xdotool mouseup 1                                            # both keys 10 frames on: 11 and 31
xdotool mousemove "$(keyX 31)" "$keyY" click 3
waitUntil "the curve kinds' menu" menuOpen || exit 1
xdotool key e                                                # ease
waitUntil "the menu closed" menuClosed || exit 1
# Both moved keys are still selected: Control takes the one at 31 away, Delete removes 11.
xdotool mousemove "$(keyX 31)" "$keyY" keydown ctrl click 1 keyup ctrl key Delete
xdotool mousemove "$cx" "$cy" click 4                        # zooms in by a fifth
xdotool key alt+e
waitUntil "the Edit menu" menuOpen || exit 1
xdotool key k                                                # Auto Key off
waitUntil "the menu closed" menuClosed || exit 1
xdotool mousemove "$cx" $((cy + 120)) mousedown 1            # the knob, a unit below at 120 pixels a unit
for step in 1 2 3 4 5; do xdotool mousemove $((cx + 12 * step)) $((cy + 120)); done
xdotool mouseup 1                                            # slider.v 50 -> 75
xdotool key ctrl+q
wait "$pid" || fail "the viewer failed"
pid=

# The window's own state at the end.
grep -qx 'handle.keys.tx: \[\[31.0,1.0\]\]' "$out" || fail "the key track's edits left other keys"
grep -qx 'slider.keys.v: \[\]' "$out" || fail "with Auto Key off the slider's drag was keyed"
grep -qx 'slider.v: 75.0' "$out" || fail "the slider's drag did not set its value"

# Each edit is its step, in order; then the replay, checking the keys left, passes.
python3 - "$dir/session.json" "$dir/checked.json" <<'PY' || exit 1
import json, sys
scene = json.load(open(sys.argv[1]))
steps = scene["script"]
kinds = [next(k for k in s if k not in ("tolerance", "modifiers", "range", "by", "kind")) for s in steps]
acted = [k for k in kinds if k in ("click", "moveKey", "curve", "deleteKey", "camera", "autoKey", "drag")]
print("recorded:", " ".join(acted))
want = ["click", "moveKey", "curve", "deleteKey", "camera", "autoKey", "click", "drag"]
if acted != want:
    sys.exit("FAIL: expected the steps %s, recorded %s" % (want, acted))
step = lambda kind: steps[kinds.index(kind)]
checks = [(step("moveKey"), {"moveKey": [["handle.tx", 1], ["handle.tx", 21]], "by": 10}),
          (step("curve"), {"curve": ["handle.tx"], "kind": "ease"}),
          (step("deleteKey"), {"deleteKey": [["handle.tx", 11]]}),
          (step("autoKey"), {"autoKey": False})]
for got, expected in checks:
    if got != expected:
        sys.exit("FAIL: recorded %s, expected %s" % (got, expected))
if step("camera")["camera"].get("pixelsPerUnit") != 120:
    sys.exit("FAIL: the zoom was recorded as %s" % step("camera"))
steps.append({"expectKeys": {"handle.tx": [[31, 1]], "slider.v": []}})
json.dump(scene, open(sys.argv[2], "w"))
PY
"$run" --out "$dir/replay" "$dir/checked.json" || { echo "FAIL: the recorded session does not replay"; exit 1; }

# A drag in a perspective view that looks down at a slant: the pointer's plane is not
# z = 0, so the recorded points keep their z, and the replay moves the ball as the hand did.
cp "$(dirname "$0")/perspective_scene.json" "$dir/slant.json"
"$viewer" --answer no --print-viewport --record "$dir/slant_session.json" "$dir/slant.json" >"$out" 2>&1 &
pid=$!
waitUntil "the perspective viewport shown" shown || exit 1
read -r x y w h < <(sed -n 's/^viewport: \[\([0-9-]*\), \([0-9-]*\), \([0-9]*\), \([0-9]*\)\]$/\1 \2 \3 \4/p' "$out")
waitUntil "the viewer's window focused" focusViewer || exit 1
xdotool mousemove $((x + w / 2)) $((y + h / 2)) mousedown 1
for step in 1 2 3 4 5; do xdotool mousemove $((x + w / 2 + 6 * step)) $((y + h / 2 - 8 * step)); done
xdotool mouseup 1 key ctrl+q
wait "$pid" || fail "the perspective viewer failed"
pid=
python3 - "$dir/slant_session.json" <<'PY' || exit 1
import json, sys
drags = [s["drag"] for s in json.load(open(sys.argv[1]))["script"] if "drag" in s]
if len(drags) != 1 or len(drags[0]["to"]) != 3 or drags[0]["to"][2] == 0:
    sys.exit("FAIL: the slanted drag was recorded without the pointer's z: %s" % drags)
PY
"$run" --out "$dir/replay" "$dir/slant_session.json" || { echo "FAIL: the perspective drag does not replay"; exit 1; }
echo PASS
