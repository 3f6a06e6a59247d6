#pragma once

// The viewports the viewport and scale benchmarks draw: grids of mixed controls (arrows,
// rings, points, sliders with their frames, labels), written as scene documents so that
// the runner's loader builds them from the plug-in's factories exactly as from a file.

#include "apps/core/json_util.h"

#include <string>

namespace bench {

constexpr int kViewSize = 512;

inline runner::Json position2d(double x, double y) {
    return {{"type", "position2d"}, {"value", {x, y}}, {"animatable", false}};
}

inline runner::Json painter(const char* type, runner::Json attributes = runner::Json::array()) {
    return {{"type", type}, {"attributes", attributes}};
}

inline runner::Json picker(const char* attribute) {
    return {{"type", "MONO"}, {"attributes", {attribute}}};
}

// A control of the given kind (0 to 4) at (x, y), named `name`.
inline runner::Json control(const std::string& name, int kind, double x, double y) {
    runner::Json node = {{"name", name}};
    const auto placed = [&](runner::Json& n) {
        n["attributes"]["at"] = position2d(x, y);
        n["transformations"] = runner::Json::array();
        n["transformations"].push_back({{"type", "TRANSLATION_XY"}, {"attributes", {"at"}}});
    };
    switch (kind) {
        case 0:  // an arrow that moves its node along Y
            placed(node);
            node["attributes"]["ty"] = {{"type", "double"}, {"value", 0.0}};
            node["transformations"].push_back({{"type", "TRANSLATION_Y"}, {"attributes", {"ty"}}});
            node["painters"] = {painter("ARROW_Y")};
            node["manipulator"] = {{"type", "TRANSLATION_Y"}, {"attributes", {"ty"}}};
            node["picker"] = picker("ty");
            node["properties"] = {{"length", 0.1}, {"radius", 0.03}};
            break;
        case 1:  // a ring that turns its node about Z
            placed(node);
            node["attributes"]["angle"] = {{"type", "double"}, {"value", 0.0}};
            node["transformations"].push_back({{"type", "ROTATION_Z"}, {"attributes", {"angle"}}});
            node["painters"] = {painter("CIRCLE_Z")};
            node["manipulator"] = {{"type", "ROTATION_Z"}, {"attributes", {"angle"}}};
            node["picker"] = picker("angle");
            node["properties"] = {{"radius", 0.06}, {"width", 0.015}};
            break;
        case 2:  // a point
            node["attributes"]["pos"] = position2d(x, y);
            node["painters"] = {painter("POINT_2D", {"pos"})};
            node["manipulator"] = {{"type", "POSITION_2D"}, {"attributes", {"pos"}}};
            node["picker"] = picker("pos");
            node["properties"] = {{"size", 0.006}};
            break;
        case 3:  // a horizontal slider with its frame
            node["attributes"]["v"] = {{"type", "double"}, {"value", 40.0}};
            node["painters"] = {painter("SLIDER_FRAME"), painter("SLIDER", {"v"})};
            node["manipulator"] = {{"type", "SLIDER"}, {"attributes", {"v"}}};
            node["picker"] = picker("v");
            node["properties"] = {
                {"horizontal", true}, {"position", {x - 0.06, y}}, {"length", 0.12}, {"radius", 0.02}};
            break;
        default:  // a label
            node["attributes"]["at"] = position2d(x - 0.06, y);
            node["attributes"]["msg"] = {{"type", "string"}, {"value", "L" + name.substr(1)}};
            node["painters"] = {painter("LABEL", {"at", "msg"})};
            node["picker"] = picker("at");
            node["properties"] = {{"label_size", 6}};
            break;
    }
    return node;
}

// The node moved by a translation keyed at frames 1 and 24, as an animated rig moves its
// controls: playback changes where each control is drawn, not what it draws.
inline void keyMove(runner::Json& node, double dx, double dy) {
    node["attributes"]["move"] = {{"type", "position2d"}, {"curve", "bezier"}, {"keys", {{1, {0.0, 0.0}}, {24, {dx, dy}}}}};
    if (!node.contains("transformations"))
        node["transformations"] = runner::Json::array();
    node["transformations"].push_back({{"type", "TRANSLATION_XY"}, {"attributes", {"move"}}});
}

// A grid of `columns` × `rows` cells of `cell` units about the origin, the first `count`
// cells (row by row from the bottom) holding a control each, of kind index % 5. Seen at
// 100 pixels a unit, cells of 0.16 make a 32 × 32 grid fill a 512-pixel view. `keyed`
// animates every control (keyMove), each a little otherwise.
inline runner::Json grid(int columns, int rows, int count, double cell = 0.16, bool keyed = false) {
    runner::Json document = {{"viewport", {kViewSize, kViewSize}},
                             {"camera", {{"type", "ortho"}, {"center", {0, 0}}, {"pixelsPerUnit", 100}}},
                             {"nodes", runner::Json::array()}};
    for (int i = 0; i < count && i < columns * rows; ++i) {
        const double x = (i % columns - columns / 2 + 0.5) * cell;
        const double y = (i / columns - rows / 2 + 0.5) * cell;
        document["nodes"].push_back(control("c" + std::to_string(i), i % 5, x, y));
        if (keyed)
            keyMove(document["nodes"].back(), 0.05 * (i % 7 - 3) / 3, 0.05 * (i % 11 - 5) / 5);
    }
    return document;
}

}  // namespace bench
