#!/bin/sh
# Starts the viewer ($RIGKIT_VIEWER_BINARY) with Mesa's software driver
# ($RIGKIT_KEPT_DRIVER) loaded ahead of it, so that the driver stays loaded until the leak
# check at exit. Only the viewer gets it: the X server and xdotool start as usual.
LD_PRELOAD="$RIGKIT_KEPT_DRIVER" exec "$RIGKIT_VIEWER_BINARY" "$@"
