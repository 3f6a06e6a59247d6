#!/bin/bash
# A session recorded as a runner test, and replayed by rigkit-run:
# 1. driven with real X pointer and key events: a drag of a slider's knob, a drag of a
#    keyed arrow, a click on a toggle button (which flips it without moving), a frame
#    change on the timeline, an undo; the recording replays green,
#    and fails with its expectation's message once the slider's range is changed in it;
# 2. driven by a script: the script's steps are recorded and replay green.
# Run under with_xvfb.sh.
set -eu
viewer=$1
run=$2
scene=$3
script=$4
. "$(dirname "$0")/wait.sh"
dir=$(mktemp -d)
out=$dir/out
trap 'rm -rf "$dir"; [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null || true' EXIT
cp "$scene" "$dir/scene.json"

"$viewer" --answer no --print-viewport --record "$dir/session.json" "$dir/scene.json" >"$out" 2>&1 &
pid=$!
viewportShown() { grep -q '^viewport: ' "$out" || ! kill -0 "$pid" 2>/dev/null; }
waitUntil "the viewport shown" viewportShown || exit 1
read -r x y w h < <(sed -n 's/^viewport: \[\([0-9-]*\), \([0-9-]*\), \([0-9]*\), \([0-9]*\)\]$/\1 \2 \3 \4/p' "$out")
[ -n "${h:-}" ] || { echo "the viewer never showed its viewport:"; cat "$out"; exit 1; }
waitUntil "the viewer's window focused" focusViewer || exit 1

# The scene's camera is orthographic at 100 pixels a unit, centred: the slider's knob
# (v = 50) is a unit below the centre, the arrow runs from the centre to the right.
cx=$((x + w / 2))
cy=$((y + h / 2))
drag() {  # from-x to-x y
    xdotool mousemove "$1" "$3" mousedown 1
    for step in 1 2 3 4 5; do
        xdotool mousemove $(($1 + ($2 - $1) * step / 5)) "$3"
    done
    xdotool mouseup 1
}
drag "$cx" $((cx + 50)) $((cy + 100))     # slider.v 50 -> 75
drag $((cx + 60)) $((cx + 110)) "$cy"     # handle.tx keyed at frame 1
xdotool mousemove $((cx - 150)) $((cy - 100)) click 1   # toggle.on flips
# The timeline's frame slider runs along the bottom of the window, under the viewport.
xdotool mousemove $((x + 200)) $((y + h + 16)) click 1
xdotool key ctrl+z                        # the arrow's drag is undone
xdotool key ctrl+q
wait "$pid" || { echo "the viewer failed:"; cat "$out"; exit 1; }
pid=

# The recording holds what was done, each edit with its expectation.
python3 - "$dir/session.json" <<'PY' || exit 1
import json, sys
steps = json.load(open(sys.argv[1]))["script"]
kinds = [next(k for k in s if k not in ("tolerance", "modifiers", "range")) for s in steps]
print("recorded:", " ".join(kinds))
want = ["drag", "drag", "drag", "frame", "undo"]
acted = [k for k in kinds[1:] if k in ("drag", "frame", "undo")]
if acted != want:
    sys.exit("FAIL: expected the steps %s, recorded %s" % (want, acted))
after_drag = steps[kinds.index("drag") + 1]
if after_drag.get("expect", {}).get("slider.v") is None or "tolerance" not in after_drag:
    sys.exit("FAIL: the slider's drag is not followed by an expectation of slider.v with a tolerance")
# The button's click replays as a press of it where it was clicked: a drag of no length.
press = [s["drag"] for s in steps if "drag" in s and s["drag"].get("node") == "toggle"]
if len(press) != 1 or press[0]["from"] != press[0]["to"]:
    sys.exit("FAIL: the button's click is not recorded as one press of it: %s" % press)
after_press = steps[steps.index({"drag": press[0]}) + 1]
if after_press.get("expect", {}).get("toggle.on") is not True:
    sys.exit("FAIL: the button's press is not followed by an expectation of toggle.on")
PY
"$run" --out "$dir/replay" "$dir/session.json" || { echo "FAIL: the recorded session does not replay"; exit 1; }

# The plug-in answering otherwise (the slider's range doubled) fails the replay at the
# expectation after the drag.
python3 - "$dir/session.json" "$dir/changed.json" <<'PY'
import json, sys
scene = json.load(open(sys.argv[1]))
for node in scene["nodes"]:
    if node["name"] == "slider":
        node["properties"]["max"] = 200
json.dump(scene, open(sys.argv[2], "w"))
PY
if "$run" --out "$dir/replay" "$dir/changed.json" 2>"$dir/err"; then
    echo "FAIL: the replay passed although the slider's range changed"
    exit 1
fi
grep -q 'slider.v is .*, expected 75.*more than the tolerance' "$dir/err" ||
    { echo "FAIL: the replay failed otherwise:"; cat "$dir/err"; exit 1; }

# A script's steps are recorded as it plays, so a recording is checked without a person.
"$viewer" --quit --script "$script" --record "$dir/scripted.json" "$dir/scene.json" ||
    { echo "FAIL: the script did not play"; exit 1; }
grep -q '"inspect"' "$dir/scripted.json" && { echo "FAIL: a viewer-only step was recorded"; exit 1; }
# The inspector's property edit is recorded as the undoable step that replays it.
python3 -c 'import json, sys; sys.exit({"setProperty": "slider", "key": "radius", "value": 0.2} not in json.load(open(sys.argv[1]))["script"])' "$dir/scripted.json" ||
    { echo "FAIL: the inspector's property edit was not recorded as setProperty"; exit 1; }
"$run" --out "$dir/replay" "$dir/scripted.json" || { echo "FAIL: the scripted recording does not replay"; exit 1; }
echo "PASS"
