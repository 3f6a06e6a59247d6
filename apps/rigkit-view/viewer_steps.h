#pragma once

// The runner's script steps, played in the viewer's window: drags and clicks arrive at the
// viewport as mouse events, drawing steps draw in its OpenGL context, and the window
// shows what every step changed before the next one plays.

#include "apps/core/script.h"

namespace viewer {

class ViewerWindow;

// The runner's steps as the window plays them, and the viewer's own: inspect, save, saveAs,
// expectLoadError, expectStatus, frameAll and within.
runner::StepTable viewerSteps(ViewerWindow& window);

}  // namespace viewer
