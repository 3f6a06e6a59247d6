#pragma once

// Where a slider's track lies and in which units its keys are given. The slider manipulator
// and the slider painters read the same keys and must agree on the track to the pixel, so
// the choice of placement and the screen layout live here once.

#include "host/math/CameraTransformChain.h"
#include "host/math/Math.h"
#include "host/scene/MO_PropertyAccessor.h"

#include <cmath>

enum class SliderPlacement : int {
    // "position" and "length" in viewport halves: (0, 0) the centre, ±1 the edges.
    Screen = 0,
    // "position" and "length" in scene units.
    Scene = 1,
    // The track starts at ("xmin", "ymin"); sizes in drawing units.
    Corner = 2,
};

namespace rigkit {

// At construction: screen space wins; otherwise a node that places its slider by "xmin"
// has it in the corner.
inline SliderPlacement chooseSliderPlacement(const MO_PropertyAccessor& properties) {
    if (properties.getBool(QStringLiteral("screen_space"), false, nullptr))
        return SliderPlacement::Screen;
    return properties.hasProperty(QStringLiteral("xmin")) ? SliderPlacement::Corner : SliderPlacement::Scene;
}

// After a property change only "screen_space" can move the slider, and never into the
// corner.
inline SliderPlacement updatedSliderPlacement(const MO_PropertyAccessor& properties, SliderPlacement current) {
    const QString key = QStringLiteral("screen_space");
    if (!properties.hasProperty(key))
        return current;
    return properties.getBool(key, false, nullptr) ? SliderPlacement::Screen : SliderPlacement::Scene;
}

inline double defaultSliderLength(SliderPlacement placement) {
    switch (placement) {
        case SliderPlacement::Screen:
            return 0.1;
        case SliderPlacement::Corner:
            return 0.15;
        case SliderPlacement::Scene:
            break;
    }
    return 3.0;
}

// The model-frame point at slider coordinates (u, w) of a screen-placed slider. Slider
// coordinates grow with the window's, so w grows downwards.
inline Math::Point2d sliderScreenPoint(const Math::CameraTransformChain& chain, double u, double w) {
    const Math::Box2d& viewport = chain.viewport();
    const Math::Point2d centre = Math::Point2d::Interpolate(0.5, viewport.min, viewport.max);
    const double halfWidth = std::abs(viewport.max.x - viewport.min.x) * 0.5;
    const double halfHeight = std::abs(viewport.max.y - viewport.min.y) * 0.5;
    Math::Point2d out;
    chain.transform(Math::SourceScreenFrame, Math::DestinationModelFrame,
                    Math::Point2d(centre.x + u * halfWidth, centre.y + w * halfHeight), out);
    return out;
}

}  // namespace rigkit
