#!/bin/bash
# A scene drawn with several samples a pixel: the viewer's scripted picture is the
# runner's, pixel for pixel. Run under with_xvfb.sh.
set -eu
viewer=$1
runner=$2
scene=$3
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
"$runner" --out "$dir/run" "$scene"
"$viewer" --quit --out "$dir/view" --script "$scene" "$scene"
cmp "$dir/run/smooth.png" "$dir/view/smooth.png" || { echo "FAIL: the viewer's picture differs from the runner's"; exit 1; }
echo PASS
