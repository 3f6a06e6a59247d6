#pragma once

// What the painters have in common beyond their base classes: the property keys that
// several of them read, the colour rule for ordinary drawing and picking, and the scale
// by which scene-unit sizes become drawing units. Free functions and constants only, so
// that no painter gains a member by using them.

#include "host/draw/MO_OGLContext.h"
#include "host/base/VS_RGBA.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/scene/components.h"

#include <QString>

namespace rigkit::keys {

// A key read by one painter family only stays in that family's source file.
inline const QString color = QStringLiteral("color");
inline const QString selectionColor = QStringLiteral("selection_color");
inline const QString outerColor = QStringLiteral("outer_color");
inline const QString length = QStringLiteral("length");
inline const QString radius = QStringLiteral("radius");
inline const QString width = QStringLiteral("width");
inline const QString size = QStringLiteral("size");
inline const QString min = QStringLiteral("min");
inline const QString position = QStringLiteral("position");
inline const QString screenSpace = QStringLiteral("screen_space");
inline const QString xmin = QStringLiteral("xmin");
inline const QString ymin = QStringLiteral("ymin");

}  // namespace rigkit::keys

namespace rigkit {

inline bool isPicking(const MO_OGLContext& context) {
    return context.renderMode() == MO_OGLContext::PickingRender;
}

// The host finds a control in the picking image by its pick colour, so picking wins over
// everything; outside picking only a selection of exactly 1 counts as selected.
inline VS_RGBA paintColor(const MO_OGLContext& context, const PaintState& state, const VS_RGBA& color,
                          const VS_RGBA& selectionColor) {
    if (isPicking(context))
        return state.pickColor;
    return state.selection == 1 ? selectionColor : color;
}

// For a colour that selection leaves alone: the pick colour while picking, else `color`.
inline VS_RGBA paintColor(const MO_OGLContext& context, const PaintState& state, const VS_RGBA& color) {
    return isPicking(context) ? state.pickColor : color;
}

// Scene-unit sizes become drawing units by the scene's X unit scale, whatever axis they
// lie along. Read at every paint, so that a change of units shows at the next draw.
inline double sceneUnit(const MO_OGLContext& context) {
    return context.sceneCommon()->metrics().xUnitScale();
}

}  // namespace rigkit
