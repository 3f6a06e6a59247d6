#!/bin/bash
# Takes a picture of the viewer's window under a private X server once a script has played
# in it. Without a script and a scene, the README's picture of the workbench (a drag, a
# pick and an inspector colour edit, then the window).
#   tools/viewer_screenshot.sh [VIEWER] [OUT.png] [SCRIPT.json SCENE.json]
# The scene is copied first, so that a script that saves leaves the original alone.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
viewer=${1:-$root/build/default/bin/rigkit-view}
out=${2:-$root/docs/img/viewer-workbench.png}
script=${3:-$root/tests/viewer/screenshot_script.json}
scene=${4:-$root/tests/viewer/workbench_scene.json}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cp "$scene" "$dir/$(basename "$scene")"
bash "$root/tests/viewer/with_xvfb.sh" "$viewer" --quit --screenshot "$out" --out "$dir/out" \
    --script "$script" "$dir/$(basename "$scene")"
