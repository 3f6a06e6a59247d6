// The steps that draw the scene and act on it as a user would: render and pick, select,
// click, drag, and walk the undo history.

#include "apps/core/contact_sheet.h"
#include "apps/core/script.h"
#include "host/base/UT_DPI.h"
#include "host/draw/CC_CameraChainTransformCanvasBinder.h"
#include "host/draw/VS_Canvas.h"
#include "host/draw/VS_OffscreenContext.h"
#include "host/draw/VS_SceneRenderer.h"
#include "host/scene/MO_Node.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/interaction/SLB_DragSession.h"
#include "host/scene/SLB_Selection.h"
#include "host/scene/components.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>

namespace runner {

namespace {

Math::CameraTransformChain cameraOf(const Scene& scene) {
    return cameraChain(scene.camera, scene.width, scene.height);
}

VS_View viewOf(ScriptContext& context) {
    VS_View view;
    view.camera = cameraOf(context.session.scene());
    view.background = context.session.scene().background;
    view.frameKey = MO_FrameKey(context.session.frame());
    UT_DPI::s_dpiScale = static_cast<float>(context.session.scene().dpiScale);
    return view;
}

VS_OffscreenContext& glOf(ScriptContext& context) {
    if (!context.gl) {
        auto gl = std::make_shared<VS_OffscreenContext>(context.session.scene().width, context.session.scene().height);
        try {
            gl->setSamples(context.session.scene().samples);
        } catch (const std::runtime_error& e) {
            throw RunError("", std::string("\"samples\": ") + e.what());
        }
        context.gl = std::move(gl);
    }
    return *context.gl;
}

Math::Point2d pointOf(const Json& v, const std::string& path) {
    const std::vector<double> p = requireNumbers(v, 2, path);
    return Math::Point2d(p[0], p[1]);
}

// A drag's point: [x, y], or in the pointer frame also [x, y, z], whose z goes to `z`.
Math::Point2d dragPoint(const Json& v, const std::string& path, bool inPointer, double& z) {
    if (!inPointer || !v.is_array() || v.size() != 3)
        return pointOf(v, path);
    const std::vector<double> p = requireNumbers(v, 3, path);
    z = p[2];
    return Math::Point2d(p[0], p[1]);
}

VS_PickImage drawView(ScriptContext& context, bool pick) {
    if (context.draw)
        return context.draw(pick);
    if (pick)
        return VS_SceneRenderer::renderPick(glOf(context), context.session.common(), viewOf(context));
    return VS_PickImage{VS_SceneRenderer::render(glOf(context), context.session.common(), viewOf(context)), {}};
}

// A step's argument object holds only these keys; the message lists them, as the scene
// file's own objects do.
void checkArgumentKeys(const Json& argument, const char* step, std::initializer_list<const char*> allowed) {
    for (const auto& item : argument.items()) {
        bool known = false;
        std::string list;
        for (const char* a : allowed) {
            known = known || item.key() == a;
            list += (list.empty() ? "" : ", ") + std::string(a);
        }
        if (!known)
            throw RunError("",
                           "unknown key " + quote(item.key()) + " in \"" + step + "\" (expected one of: " + list + ")");
    }
}

// Whether `v` is a whole number that an int holds.
bool isInt(double v) {
    return v == std::floor(v) && v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max();
}

// What a click at a window point hits: the pixel under it in the picking pass.
VS_PickHit pickAt(ScriptContext& context, const Math::Point2d& at) {
    const VS_PickImage pick = drawView(context, true);
    return pick.hitAt(pixelIndex(at.x), pixelIndex(at.y));
}

// A picture's name is a relative path below the output directory: a scene file says what
// to draw, never where on the machine to write.
std::filesystem::path imagePath(const ScriptContext& context, const std::string& file) {
    if (file.empty())
        throw RunError("", "the image needs a file name");
    for (const char c : file)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            throw RunError("", "a file name cannot hold control characters");
    const std::filesystem::path name(file);
    bool escapes = name.is_absolute() || name.has_root_name();
    for (const auto& part : name)
        escapes = escapes || part == "..";
    if (escapes)
        throw RunError("", quote(file) + " is not below the output directory (name it relative, without \"..\")");
    if (!name.has_filename() || name.filename() == ".")
        throw RunError("", quote(file) + " names a directory, not an image file");
    const std::filesystem::path dir =
        context.outDir.empty() ? std::filesystem::path(".") : std::filesystem::path(context.outDir);
    return dir / name;
}

void writeImage(ScriptContext& context, const VS_Image& image, const std::string& file) {
    const std::filesystem::path path = imagePath(context, file);
    // The output directory, and any folders the name holds, are made on first use.
    const std::filesystem::path parent = path.parent_path();
    std::error_code ec;
    if (!parent.empty() && !std::filesystem::is_directory(parent, ec)) {
        if (std::filesystem::exists(parent, ec))
            throw RunError("",
                           "cannot make the directory " + quote(parent.string()) + ": a file of that name is there");
        std::filesystem::create_directories(parent, ec);
        if (ec)
            throw RunError("", "cannot make the directory " + quote(parent.string()) + ": " + ec.message());
    }
    // The host writes a temporary file beside the target and renames it, so a failed write
    // leaves neither a half-written image nor the temporary behind.
    std::string why;
    if (!VS_WritePng(image, path.string(), &why)) {
        const std::string prefix = path.string() + ": ";
        if (why.rfind(prefix, 0) == 0)
            why.erase(0, prefix.size());
        throw RunError("", "cannot write " + quote(path.string()) + ": " + why);
    }
}

void playRender(ScriptContext& context, const Json& argument, const Json& step) {
    const std::string file = requireString(argument, "render");
    const bool pick = step.contains("pick") && step["pick"].is_boolean() ? step["pick"].get<bool>() : false;
    if (step.contains("pick") && !step["pick"].is_boolean())
        throw RunError("", "\"pick\" takes true or false, not " + describe(step["pick"]));
    imagePath(context, file);
    context.lastRender = drawView(context, pick).image;
    writeImage(context, context.lastRender, file);
    context.renders.push_back(context.lastRender);
}

void playContactSheet(ScriptContext& context, const Json& argument, const Json& step) {
    const std::string file = requireString(argument, "contactSheet");
    const double columns = step.contains("columns") ? requireNumber(step["columns"], "columns") : 4.0;
    const double cellWidth = step.contains("cellWidth") ? requireNumber(step["cellWidth"], "cellWidth") : 320.0;
    if (columns < 1 || columns > 64 || columns != std::floor(columns))
        throw RunError("", "\"columns\" takes a whole number from 1 to 64, not " + show(step["columns"]));
    if (cellWidth < 16 || cellWidth > 4096 || cellWidth != std::floor(cellWidth))
        throw RunError("",
                       "\"cellWidth\" takes a whole number of pixels from 16 to 4096, not " + show(step["cellWidth"]));
    if (context.renders.empty())
        throw RunError("", "\"contactSheet\" needs a \"render\" step before it");
    imagePath(context, file);
    writeImage(context,
               contactSheet(context.renders, static_cast<int>(columns), static_cast<int>(cellWidth), 8,
                            context.session.scene().background),
               file);
}

void playSelect(ScriptContext& context, const Json& argument, const Json&) {
    if (!argument.is_array())
        throw RunError("", "a \"select\" step takes a list of node names, not " + describe(argument));
    SLB_Selection& selection = context.session.common().selection();
    std::vector<MO_Node*> nodes;
    for (std::size_t i = 0; i < argument.size(); ++i)
        nodes.push_back(nodeNamed(context, argument[i], element("select", i)));
    selection.clear();
    for (MO_Node* n : nodes)
        selection.select(n, 0, true);
}

void playExpectPixel(ScriptContext& context, const Json& argument, const Json&) {
    if (!argument.is_object())
        throw RunError("", "\"expectPixel\" takes {\"at\": [x, y], \"rgba\": [r, g, b, a]}, not " + describe(argument));
    checkArgumentKeys(argument, "expectPixel", kExpectPixelKeys);
    if (context.lastRender.width == 0)
        throw RunError("", "\"expectPixel\" needs a \"render\" step before it");
    const std::vector<double> at = requireNumbers(argument.value("at", Json()), 2, "expectPixel.at");
    const std::vector<double> rgba = requireNumbers(argument.value("rgba", Json()), 4, "expectPixel.rgba");
    const double tolerance =
        argument.contains("tolerance") ? requireNumber(argument["tolerance"], "expectPixel.tolerance") : 0.0;
    const int x = isInt(at[0]) ? static_cast<int>(at[0]) : -1;
    const int y = isInt(at[1]) ? static_cast<int>(at[1]) : -1;
    if (at[0] != x || at[1] != y || !context.lastRender.contains(x, y))
        throw RunError("", "pixel " + show(argument["at"]) + " is not a pixel of the " +
                               std::to_string(context.lastRender.width) + " x " +
                               std::to_string(context.lastRender.height) + " image");
    const VS_RGBA p = context.lastRender.pixel(x, y);
    const double actual[4] = {double(p.r), double(p.g), double(p.b), double(p.a)};
    for (int i = 0; i < 4; ++i)
        if (std::abs(actual[i] - rgba[i]) > tolerance)
            throw RunError("", "pixel " + show(argument["at"]) + " is " +
                                   show(Json::array({actual[0], actual[1], actual[2], actual[3]})) + ", expected " +
                                   show(argument["rgba"]));
}

void playClick(ScriptContext& context, const Json& argument, const Json& step) {
    const Math::Point2d at = pointOf(argument, "click");
    const Qt::KeyboardModifiers mods = readModifiers(step, "modifiers");
    const VS_PickHit hit = pickAt(context, at);
    if (!hit) {
        // A click on nothing clears the selection, unless it extends one.
        if (!mods.testFlag(Qt::ShiftModifier))
            context.session.common().selection().clear();
        return;
    }
    hit.node->pickAdaptor()->scanHits(hit.handleId, true, mods);
}

void playExpectPick(ScriptContext& context, const Json& argument, const Json&) {
    if (!argument.is_object() || !argument.contains("at") || !argument.contains("node"))
        throw RunError("", "\"expectPick\" takes {\"at\": [x, y], \"node\": name or null}, not " + describe(argument));
    checkArgumentKeys(argument, "expectPick", kExpectPickKeys);
    const VS_PickHit hit = pickAt(context, pointOf(argument["at"], "expectPick.at"));
    const Json& node = argument["node"];
    const std::string hitName = hit ? hit.node->name().toStdString() : std::string();
    if (node.is_null()) {
        if (hit)
            throw RunError("", "a click at " + show(argument["at"]) + " hits " + quote(hitName) + ", expected nothing");
        return;
    }
    const std::string expected = requireString(node, "expectPick.node");
    if (hitName != expected)
        throw RunError("", "a click at " + show(argument["at"]) + " hits " +
                               (hit ? quote(hitName) : std::string("nothing")) + ", expected " + quote(expected));
    if (argument.contains("selectionType")) {
        const double type = requireNumber(argument["selectionType"], "expectPick.selectionType");
        const auto descriptor = hit.node->pickAdaptor()->scanHits(hit.handleId, false, Qt::NoModifier);
        const auto* module = dynamic_cast<const SLB_ModuleDescriptor*>(descriptor.get());
        if (!module)
            throw RunError("", quote(expected) + " does not claim the hit");
        if (module->selectionType() != type)
            throw RunError("", quote(expected) + " describes selection type " +
                                   std::to_string(module->selectionType()) + ", expected " +
                                   show(argument["selectionType"]));
    }
}

Json selectionNames(ScriptContext& context) {
    Json names = Json::array();
    for (const SLB_Selection::Item& i : context.session.common().selection().items())
        names.push_back(i.node->name().toStdString());
    return names;
}

Json historyNames(ScriptContext& context) {
    Json names = Json::array();
    for (const QString& n : context.session.history.names())
        names.push_back(n.toStdString());
    return names;
}

void expectNames(const Json& argument, const char* step, const Json& actual) {
    bool shaped = argument.is_array();
    for (std::size_t i = 0; shaped && i < argument.size(); ++i)
        shaped = argument[i].is_string();
    if (!shaped)
        throw RunError("", std::string("\"") + step + "\" takes a list of names, not " + describe(argument));
    if (actual != argument)
        throw RunError("", std::string("expected ") + show(argument) + ", found " + show(actual));
}

void playExpectSelection(ScriptContext& context, const Json& argument, const Json&) {
    expectNames(argument, "expectSelection", selectionNames(context));
}

void playExpectHistory(ScriptContext& context, const Json& argument, const Json&) {
    expectNames(argument, "expectHistory", historyNames(context));
}

void playAnimationMode(ScriptContext& context, const Json& argument, const Json& step) {
    const std::string mode = requireString(argument, "animationMode");
    if (mode == "frame") {
        if (step.contains("range"))
            throw RunError("", "a \"range\" goes with \"animationMode\": \"range\"");
        context.session.animationMode = CX_AnimationModeCurrentFrame;
        return;
    }
    if (mode != "range")
        throw RunError("", "\"animationMode\" is \"frame\" or \"range\", not " + quote(mode));
    if (!step.contains("range"))
        throw RunError("", "\"animationMode\": \"range\" needs a \"range\": [first, last] or \"infinite\"");
    const Json& range = step["range"];
    if (range == "infinite") {
        context.session.range = MO_FrameRange::infinite();
    } else {
        const std::vector<double> r = requireNumbers(range, 2, "range");
        context.session.range = MO_FrameRange(r[0], r[1]);
    }
    context.session.animationMode = CX_AnimationModeRange;
}

void playDrag(ScriptContext& context, const Json& argument, const Json&) {
    DragGesture gesture = readDrag(context, argument);
    if (!gesture.node) {
        const VS_PickHit hit = pickAt(context, gesture.from);
        if (!hit)
            throw RunError("", "nothing to drag at " + show(argument["from"]));
        if (!hit.node->manipulator())
            throw RunError("", quote(hit.node->name().toStdString()) + " has no manipulator to drag");
        gesture.node = hit.node;
    }
    SLB_DragContext drag(&context.session.common());
    drag.setCamera(cameraOf(context.session.scene()));
    drag.setFrames(context.session.frame(), context.session.frame());
    drag.setAnimationMode(context.session.animationMode);
    drag.setFrameRange(context.session.range);
    drag.setButtonState(gesture.modifiers);
    if (gesture.manipMode)
        drag.setManipMode(*gesture.manipMode);
    // The view's canvas, whose chain manipulators that work in a parent transformation
    // start from.
    glOf(context).makeCurrent();
    VS_Canvas canvas(context.session.scene().width, context.session.scene().height);
    CC_CameraChainTransformCanvasBinder binder(canvas);
    binder.setTransformChain(cameraOf(context.session.scene()));
    drag.setOglMatrixManager(&binder);
    SLB_DragSession session(drag, context.session.history);
    if (!(gesture.inPointer ? session.pressAt(gesture.node, gesture.pointerAt(0))
                            : session.press(gesture.node, gesture.from)))
        throw RunError(
            "", "cannot start dragging " + quote(gesture.node->name().toStdString()) + " at " + show(argument["from"]));
    for (int i = 1; i <= gesture.steps; ++i) {
        if (gesture.inPointer)
            session.moveTo(gesture.pointerAt(i));
        else
            session.move(gesture.pointAt(i));
    }
    if (session.release())
        ++context.editsRecorded;
}

void walk(ScriptContext& context, const Json& argument, const char* step, bool back) {
    const double n = requireNumber(argument, step);
    if (n < 0 || !isInt(n))
        throw RunError("", std::string("\"") + step + "\" takes a whole number of steps, not " + show(argument));
    const int asked = static_cast<int>(n);
    const int walked = back ? context.session.history.undo(asked) : context.session.history.redo(asked);
    if (walked != asked)
        throw RunError("", std::string("only ") + std::to_string(walked) + " of " + std::to_string(asked) + " " + step +
                               " steps were possible");
}

}  // namespace

MO_Node* nodeNamed(ScriptContext& context, const Json& name, const std::string& path) {
    const std::string n = requireString(name, path);
    MO_Node* node = context.session.common().findNode(QString::fromStdString(n));
    if (!node)
        throw RunError("", "there is no node " + quote(n));
    return node;
}

Qt::KeyboardModifiers readModifiers(const Json& step, const char* key) {
    Qt::KeyboardModifiers mods;
    if (!step.contains(key))
        return mods;
    const Json& list = step[key];
    if (!list.is_array())
        throw RunError("", std::string("\"") + key + "\" takes a list such as [\"shift\"], not " + describe(list));
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::string m = requireString(list[i], element(key, i));
        const auto named = std::find_if(std::begin(kModifiers), std::end(kModifiers),
                                        [&](const ModifierName& n) { return m == n.name; });
        if (named == std::end(kModifiers)) {
            std::string known;
            for (const ModifierName& n : kModifiers)
                known += (known.empty() ? "" : ", ") + std::string(n.name);
            throw RunError("", "unknown modifier " + quote(m) + " (known: " + known + ")");
        }
        mods |= named->modifier;
    }
    return mods;
}

DragGesture readDrag(ScriptContext& context, const Json& argument) {
    if (!argument.is_object())
        throw RunError("", "\"drag\" takes {\"from\": [x, y], \"to\": [x, y], ...}, not " + describe(argument));
    checkArgumentKeys(argument, "drag", kDragKeys);
    DragGesture g;
    // "in": "pointer" gives from and to in the pointer frame instead of window pixels.
    g.inPointer = argument.contains("in") && requireString(argument["in"], "drag.in") == "pointer";
    if (argument.contains("in") && !g.inPointer && argument["in"] != "window")
        throw RunError("", "\"in\" is \"window\" or \"pointer\", not " + show(argument["in"]));
    if (g.inPointer && !argument.contains("node"))
        throw RunError("", "a drag \"in\": \"pointer\" needs the \"node\" it drags");
    g.from = dragPoint(argument.value("from", Json()), "drag.from", g.inPointer, g.fromZ);
    g.to = dragPoint(argument.value("to", Json()), "drag.to", g.inPointer, g.toZ);
    const double steps = argument.contains("steps") ? requireNumber(argument["steps"], "drag.steps") : 1.0;
    if (steps < 1 || steps != std::floor(steps) || steps > 100000)
        throw RunError("", "\"steps\" takes a whole number from 1 to 100000, not " + show(argument["steps"]));
    g.steps = static_cast<int>(steps);
    if (argument.contains("path")) {
        if (argument.contains("steps"))
            throw RunError("", "a drag takes \"steps\" or a \"path\", not both");
        const Json& path = requireArray(argument["path"], "drag.path");
        if (path.size() >= 100000)
            throw RunError("", "a drag's \"path\" takes fewer than 100000 points, not " + std::to_string(path.size()));
        for (std::size_t i = 0; i < path.size(); ++i) {
            g.pathZ.push_back(0.0);
            g.path.push_back(dragPoint(path[i], element("drag.path", i), g.inPointer, g.pathZ.back()));
        }
        g.steps = static_cast<int>(g.path.size()) + 1;
    }
    g.modifiers = readModifiers(argument, "modifiers");
    if (argument.contains("manipMode")) {
        const double mode = requireNumber(argument["manipMode"], "drag.manipMode");
        if (!isInt(mode))
            throw RunError("", "\"manipMode\" takes a whole number, not " + show(argument["manipMode"]));
        g.manipMode = static_cast<int>(mode);
    }
    if (argument.contains("node")) {
        g.node = nodeNamed(context, argument["node"], "drag.node");
        if (!g.node->manipulator())
            throw RunError("", quote(g.node->name().toStdString()) + " has no manipulator to drag");
    }
    return g;
}

int pixelIndex(double v) {
    const double i = std::floor(v);
    return isInt(i) ? static_cast<int>(i) : -1;
}

Math::Point2d DragGesture::pointAt(int step) const {
    if (!path.empty())
        return step <= static_cast<int>(path.size()) ? path[step - 1] : to;
    return from + (to - from) * (static_cast<double>(step) / steps);
}

Math::Point3d DragGesture::pointerAt(int step) const {
    const Math::Point2d p = step == 0 ? from : pointAt(step);
    double z = fromZ + (toZ - fromZ) * (static_cast<double>(step) / steps);
    if (step > 0 && !path.empty())
        z = step <= static_cast<int>(path.size()) ? pathZ[step - 1] : toZ;
    return Math::Point3d(p.x, p.y, z);
}

Json readViewItem(ScriptContext& context, const std::string& item) {
    if (item == "history")
        return historyNames(context);
    if (item == "selection")
        return selectionNames(context);
    return Json();
}

void addViewSteps(StepTable& table) {
    table.add("render", playRender, {"pick"});
    table.add("contactSheet", playContactSheet, {"columns", "cellWidth"});
    table.add("select", playSelect);
    table.add("expectPixel", playExpectPixel);
    table.add("click", playClick, {"modifiers"});
    table.add("expectPick", playExpectPick);
    table.add("expectSelection", playExpectSelection);
    table.add("animationMode", playAnimationMode, {"range"});
    table.add("drag", playDrag);
    table.add("undo", [](ScriptContext& c, const Json& a, const Json&) { walk(c, a, "undo", true); });
    table.add("redo", [](ScriptContext& c, const Json& a, const Json&) { walk(c, a, "redo", false); });
    table.add("expectHistory", playExpectHistory);
    // Later steps see through another camera, as when the user zooms or pans.
    table.add("camera", [](ScriptContext& c, const Json& a, const Json&) {
        c.session.scene().camera = readCamera(a, "camera");
    });
}

}  // namespace runner
