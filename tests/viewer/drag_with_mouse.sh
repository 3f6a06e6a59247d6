#!/bin/bash
# Drives the viewer the way a user does, with real X pointer and key events: drags an
# arrow, undoes and drags again, redoes, starts a drag and cancels it with Escape, quits
# with Ctrl+Q, then checks what the viewer printed on exit. Run under with_xvfb.sh.
# The X server hands the window the pointer and key events in the order they were made,
# so nothing waits between them.
set -eu
viewer=$1
. "$(dirname "$0")/wait.sh"
dir=$(mktemp -d)
out=$dir/out
# A copy: the viewer keeps a recovery file of unsaved edits beside the scene.
scene=$dir/$(basename "$2")
cp "$2" "$scene"
trap 'rm -rf "$dir"; [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null || true' EXIT

# Quitting with unsaved edits asks whether to save them: no.
"$viewer" --answer no --print-viewport --print-on-exit history,handle.tx "$scene" >"$out" 2>&1 &
pid=$!
viewportShown() { grep -q '^viewport: ' "$out" || ! kill -0 "$pid" 2>/dev/null; }
waitUntil "the viewport shown" viewportShown || exit 1
read -r x y w h < <(sed -n 's/^viewport: \[\([0-9-]*\), \([0-9-]*\), \([0-9]*\), \([0-9]*\)\]$/\1 \2 \3 \4/p' "$out")
[ -n "${h:-}" ] || { echo "the viewer never showed its viewport:"; cat "$out"; exit 1; }
# The window opens with the viewport at the scene's size, which the screen has room for.
want=$(sed -n 's/.*"viewport": \[\([0-9]*\), *\([0-9]*\)\].*/\1 \2/p' "$scene" | head -1)
[ "$w $h" = "$want" ] || { echo "FAIL: the viewport opened at $w x $h, the scene's is $want"; exit 1; }
waitUntil "the viewer's window focused" focusViewer || exit 1

# The scene's camera is orthographic at 100 pixels a unit, centred: the arrow's shaft runs
# from the centre to the right.
cx=$((x + w / 2))
cy=$((y + h / 2))
drag() {  # from-x to-x
    xdotool mousemove "$1" "$cy" mousedown 1
    for step in 1 2 3 4 5; do
        xdotool mousemove $(($1 + ($2 - $1) * step / 5)) "$cy"
    done
}
release() { xdotool mouseup 1; }

drag $((cx + 50)) $((cx + 150)); release        # tx 1.0
xdotool key ctrl+z                     # tx 0.0, the drag can be redone
drag $((cx + 50)) $((cx + 100)); release        # tx 0.5, replaces what could be redone
xdotool key ctrl+z ctrl+shift+z        # tx 0.5 again
drag $((cx + 100)) $((cx + 200))                # a drag that Escape cancels: nothing changes
xdotool key Escape
release
xdotool key ctrl+q
wait "$pid" || { echo "the viewer failed:"; cat "$out"; exit 1; }
pid=

cat "$out"
grep -qx 'history: \["Set translation value"\]' "$out" || { echo "FAIL: expected one recorded drag"; exit 1; }
awk '/^handle.tx: / { v = $2 + 0; found = 1 } END { exit !(found && v > 0.499999 && v < 0.500001) }' "$out" ||
    { echo "FAIL: expected handle.tx 0.5"; exit 1; }
echo "PASS"
