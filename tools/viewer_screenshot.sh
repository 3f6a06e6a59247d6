#!/bin/bash
# Takes the README's picture of the viewer's workbench (timeline, undo list, inspector)
# under a private X server: a drag, a pick and an inspector colour edit, then the window.
#   tools/viewer_screenshot.sh [build/default/bin/rigkit-view] [docs/img/viewer-workbench.png]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
viewer=${1:-$root/build/default/bin/rigkit-view}
out=${2:-$root/docs/img/viewer-workbench.png}
exec bash "$root/tests/viewer/with_xvfb.sh" "$viewer" --quit --screenshot "$out" \
    --script "$root/tests/viewer/screenshot_script.json" "$root/tests/viewer/workbench_scene.json"
