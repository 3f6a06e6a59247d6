#pragma once

// The runner's script steps, played in the viewer's window: drags and clicks arrive at the
// viewport as mouse events, drawing steps draw in its OpenGL context, and the window
// shows what every step changed before the next one plays.

#include "apps/rigkit-run/script.h"

namespace viewer {

class ViewerWindow;

runner::StepTable viewerSteps(ViewerWindow& window);

}  // namespace viewer
