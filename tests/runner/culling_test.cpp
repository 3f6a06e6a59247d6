// Leaving out the nodes a pass cannot see changes no pixel: every drawing is drawn with
// culling and without, in both passes, and compared byte for byte, with picks under the
// pointer that must name the node the whole picking image shows there. Drawn so are the
// views every script asks for, over the scenes under examples/ and tests/scenes/ and over
// random ones that edit, key, drag, undo and move the camera between their drawings; and
// after each script, a camera path (pans, zooms in and out, orbits around the scene and
// through it in perspective, resizes) and playback frame by frame, each step drawn once.

#include "apps/core/json_util.h"
#include "apps/core/scene_loader.h"
#include "apps/core/script.h"
#include "host/base/UT_DPI.h"
#include "host/base/UT_EditCount.h"
#include "host/draw/CC_CameraChainTransformCanvasBinder.h"
#include "host/draw/VS_Canvas.h"
#include "host/draw/VS_OffscreenContext.h"
#include "host/draw/VS_SceneRenderer.h"
#include "host/interaction/SLB_DragSession.h"
#include "host/interaction/SLB_ManipContext.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/MO_Node.h"
#include "tests/support/gl_context.h"
#include "tests/support/plugin.h"
#include "tests/support/scenes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using runner::Json;

std::string hitName(const VS_PickHit& hit) {
    return hit ? hit.node->name().toStdString() + "#" + std::to_string(hit.handleId) : "nothing";
}

// What a drawing shows: the camera, the window's size and the frame.
struct Shot {
    runner::Camera camera;
    int width, height;
    double frame;
};

// Draws shots of a scene four ways (each pass, culled and not) and compares them; `where`
// names the scene in failures. Points to pick at come from `rng`.
class Comparer {
public:
    // The unculled passes of a shot.
    struct Drawn {
        VS_Image image;
        VS_PickImage pick;
    };

    Comparer(runner::Scene& scene, std::string where, std::mt19937& rng)
        : m_scene(scene), m_where(std::move(where)), m_rng(rng) {}

    Drawn draw(const Shot& shot) {
        VS_View view = prepare(shot);
        view.culling = true;
        const VS_Image culled = VS_SceneRenderer::render(*m_gl, *m_scene.common, view);
        const VS_PickImage culledPick = VS_SceneRenderer::renderPick(*m_gl, *m_scene.common, view);
        // Picks under the pointer: each a scissored pass of its own, drawn over what is there.
        std::vector<std::pair<int, int>> points;
        std::uniform_int_distribution<int> x(-1, shot.width), y(-1, shot.height);
        for (int i = 0; i < 6; ++i)
            points.emplace_back(x(m_rng), y(m_rng));
        std::vector<VS_PickHit> picked;
        for (const auto& [px, py] : points)
            picked.push_back(VS_SceneRenderer::pickAt(*m_scene.common, view, px, py));

        view.culling = false;
        Drawn whole{VS_SceneRenderer::render(*m_gl, *m_scene.common, view),
                    VS_SceneRenderer::renderPick(*m_gl, *m_scene.common, view)};
        const std::string at = where(shot);
        EXPECT_TRUE(culled.rgba == whole.image.rgba) << at << ": the ordinary pass differs";
        EXPECT_TRUE(culledPick.image.rgba == whole.pick.image.rgba) << at << ": the picking pass differs";
        EXPECT_EQ(culledPick.handles.size(), whole.pick.handles.size()) << at;
        for (std::size_t i = 0; i < points.size(); ++i) {
            const auto [px, py] = points[i];
            EXPECT_EQ(hitName(picked[i]), hitName(whole.pick.hitAt(px, py)))
                << at << ": pick at (" << px << ", " << py << ")";
        }
        return whole;
    }

    // The same shot of the same scene again: the culled pass, drawn from what the last
    // drawing learnt, must still be the whole one.
    void again(const Shot& shot, const Drawn& before) {
        VS_View view = prepare(shot);
        view.culling = true;
        EXPECT_TRUE(VS_SceneRenderer::render(*m_gl, *m_scene.common, view).rgba == before.image.rgba)
            << where(shot) << ": the ordinary pass drawn again differs";
    }

    int draws() const { return m_draws; }

private:
    VS_View prepare(const Shot& shot) {
        m_gl = &rigkit_test::gl(shot.width, shot.height);
        m_gl->setSamples(m_scene.samples);
        VS_View view;
        view.camera = runner::cameraChain(shot.camera, shot.width, shot.height);
        view.background = m_scene.background;
        view.frameKey = MO_FrameKey(shot.frame);
        UT_DPI::s_dpiScale = float(m_scene.dpiScale);
        ++m_draws;
        return view;
    }
    std::string where(const Shot& shot) const {
        return m_where + ", drawing " + std::to_string(m_draws) + " (frame " + std::to_string(shot.frame) + ")";
    }

    runner::Scene& m_scene;
    std::string m_where;
    std::mt19937& m_rng;
    VS_OffscreenContext* m_gl = nullptr;
    int m_draws = 0;
};

// A camera path from a scene's view at frame `frame`: pans, a zoom in and out, resizes, then
// perspective views going round the middle of the view and through it (the eye among the
// nodes, some behind it), while the frames play on by `step`.
std::vector<Shot> cameraPath(const runner::Scene& scene, double frame, double step) {
    const runner::Camera& c = scene.camera;
    const bool ortho = c.kind == runner::Camera::Kind::Orthographic;
    const Math::Point3d middle = ortho ? Math::Point3d(c.center.x, c.center.y, 0) : c.target;
    // How far a tenth of the view spans in the scene, and how far the eye stands.
    const double span = ortho ? 0.1 * scene.width / c.pixelsPerUnit : 0.1 * glm::length(c.target - c.eye);
    const double distance = ortho ? 0.5 * scene.height / c.pixelsPerUnit / std::tan(M_PI / 8) : 10.0 * span;
    std::vector<Shot> path;
    const auto add = [&](runner::Camera camera, double w, double h) {
        path.push_back({camera, std::max(8, int(w)), std::max(8, int(h)), frame});
        frame += step;
    };
    const auto moved = [&](double dx, double dy, double zoom) {
        runner::Camera m = c;
        if (ortho) {
            m.center = Math::Point2d(c.center.x + dx * span, c.center.y + dy * span);
            m.pixelsPerUnit = c.pixelsPerUnit * zoom;
        } else {
            const Math::Vector3d shift(dx * span, dy * span, 0);
            m.target = Math::Point3d(c.target + shift);
            m.eye = Math::Point3d(m.target + (c.eye - c.target) / zoom);
        }
        return m;
    };
    for (const auto& [dx, dy, zoom] : {std::tuple{0.37, 0.0, 1.0}, {1.3, -0.7, 1.0}, {-2.9, 2.2, 1.0},
                                       {0.0, 0.0, 1.7}, {0.4, 0.3, 3.1}, {0.0, 0.0, 0.45}})
        add(moved(dx, dy, zoom), scene.width, scene.height);
    add(moved(0.2, 0.1, 1.0), scene.width * 0.63, scene.height * 1.21);
    add(moved(0.2, 0.1, 1.0), scene.width * 1.33, scene.height * 0.57);
    // Round the middle at a slant and from the side, then through it.
    for (const auto& [around, slant, reach] : {std::tuple{0.0, 20.0, 1.0}, {75.0, 50.0, 1.0}, {160.0, 85.0, 1.0},
                                               {250.0, 35.0, 0.3}, {300.0, 10.0, 0.05}, {20.0, 60.0, -0.2}}) {
        runner::Camera p;
        p.kind = runner::Camera::Kind::Perspective;
        p.target = middle;
        const double a = around * M_PI / 180, t = slant * M_PI / 180;
        const Math::Vector3d from(std::sin(t) * std::cos(a), std::sin(t) * std::sin(a), std::cos(t));
        // A reach below zero puts the eye past the middle, looking back through it.
        p.eye = Math::Point3d(middle + from * (distance * reach));
        p.target = reach < 0 ? Math::Point3d(middle + from * (2 * distance * reach)) : middle;
        p.fovy = 45.0;
        add(p, scene.width, scene.height);
    }
    return path;
}

// Plays every step, then the camera path; with `lenient`, a step the random script got
// wrong (nothing under a drag, nothing to undo) is passed over, as a user's mistaken
// gesture would be. `file`, when given, is what a script that changes what the scene is
// made of edits.
int play(runner::Scene& scene, const Json& script, const std::string& where, std::mt19937& rng, bool lenient,
         const Json* file = nullptr) {
    const std::filesystem::path out = std::filesystem::temp_directory_path() / "rigkit-culling-test";
    std::ostringstream printed;
    runner::Session session(scene);
    if (file)
        session.setDocumentReader([file] { return runner::readDocument(std::make_shared<const Json>(*file)); });
    runner::ScriptContext context(session, printed, out.string());
    Comparer comparer(scene, where, rng);
    // Only "render" steps leave the scene as they found it: a picture asked for with nothing
    // else played since the last one is compared whole only once. Other steps count before
    // and after they play, since some draw (to pick) before they change the scene.
    int played = 0, comparedAt = -1;
    struct Count {
        int& played;
        ~Count() { ++played; }
    };
    runner::StepTable table = runner::defaultSteps();
    for (const auto& [name, handler] : runner::defaultSteps())
        if (name != "render")
            table.override(name, [&played, step = handler.play](runner::ScriptContext& c, const Json& a, const Json& s) {
                ++played;
                const Count after{played};
                step(c, a, s);
            });
    Comparer::Drawn last;
    context.draw = [&](bool pick) {
        const Shot shot{scene.camera, scene.width, scene.height, context.session.frame()};
        if (comparedAt == played) {
            comparer.again(shot, last);
        } else {
            last = comparer.draw(shot);
            comparedAt = played;
        }
        return pick ? last.pick : VS_PickImage{last.image, {}};
    };
    if (!lenient) {
        runner::playScript(script, table, context);
    } else {
        for (const Json& step : script) {
            try {
                runner::playScript(Json::array({step}), table, context);
            } catch (const runner::RunError&) {
            }
        }
    }
    for (const Shot& shot : cameraPath(scene, context.session.frame(), 1.0))
        comparer.draw(shot);
    return comparer.draws();
}

TEST(CullingIdentity, EveryExampleAndTestScene) {
    rigkit_test::loadPlugin();
    std::mt19937 rng(7);
    int scenes = 0;
    for (const std::string& path : rigkit_test::repositoryScenes()) {
        SCOPED_TRACE(path);
        const Json file = runner::readDocumentFile(path);
        runner::Scene scene = runner::loadScene(file);
        play(scene, scene.script, std::filesystem::path(path).filename().string(), rng, false, &file);
        ++scenes;
    }
    EXPECT_GE(scenes, 20);
}

// ---- random scenes -------------------------------------------------------------------

struct Random {
    std::mt19937 rng;
    explicit Random(unsigned seed) : rng(seed) {}
    double real(double low, double high) { return std::uniform_real_distribution<double>(low, high)(rng); }
    int whole(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); }
    bool chance(double p) { return real(0, 1) < p; }
    template <class T>
    const T& pick(const std::vector<T>& from) {
        return from[std::size_t(whole(0, int(from.size()) - 1))];
    }
};

Json colour(Random& r) {
    return {r.whole(0, 255), r.whole(0, 255), r.whole(0, 255), r.pick(std::vector<int>{255, 255, 128, 40})};
}

// A double attribute, keyed now and then.
Json scalar(Random& r, double low, double high) {
    if (r.chance(0.3))
        return {{"type", "double"},
                {"curve", r.pick(std::vector<std::string>{"bezier", "ease", "velobased", "fnc2d"})},
                {"keys", {{1, r.real(low, high)}, {r.whole(3, 9), r.real(low, high)}}}};
    return {{"type", "double"}, {"value", r.real(low, high)}};
}

Json position(Random& r, double spread) {
    if (r.chance(0.25))
        return {{"type", "position2d"},
                {"curve", "bezier"},
                {"keys",
                 {{1, {r.real(-spread, spread), r.real(-spread, spread)}},
                  {6, {r.real(-spread, spread), r.real(-spread, spread)}}}}};
    return {{"type", "position2d"}, {"value", {r.real(-spread, spread), r.real(-spread, spread)}}};
}

Json properties(Random& r) {
    Json p = Json::object();
    if (r.chance(0.7))
        p["length"] = r.real(0.05, 1.5);
    if (r.chance(0.7))
        p["radius"] = r.real(0.02, 0.6);
    if (r.chance(0.4))
        p["width"] = r.real(0.005, 0.2);
    if (r.chance(0.5))
        p["size"] = r.real(0.003, 0.08);
    if (r.chance(0.4))
        p["label_size"] = r.whole(3, 14);
    if (r.chance(0.4))
        p["horizontal"] = r.chance(0.5);
    if (r.chance(0.4))
        p["position"] = {r.real(-1, 1), r.real(-1, 1)};
    if (r.chance(0.5))
        p["color"] = colour(r);
    if (r.chance(0.3))
        p["selection_color"] = colour(r);
    return p;
}

Json camera(Random& r) {
    if (r.chance(0.3))
        return {{"type", "perspective"},
                {"eye", {r.real(-3, 3), r.real(-3, 3), r.real(2, 9)}},
                {"target", {r.real(-0.5, 0.5), r.real(-0.5, 0.5), 0}},
                {"fovy", r.real(20, 80)}};
    return {{"type", "ortho"}, {"center", {r.real(-1, 1), r.real(-1, 1)}}, {"pixelsPerUnit", r.real(15, 120)}};
}

// Painters with the attributes they are built from.
const std::vector<std::pair<const char*, std::vector<const char*>>> kPainters = {
    {"ARROW_X", {}},       {"ARROW_Y", {}},       {"ARROW_Z", {}},         {"CIRCLE_X", {}},     {"CIRCLE_Y", {}},
    {"CIRCLE_Z", {}},      {"PLANE_XY", {}},      {"PLANE_XZ", {}},        {"PLANE_YZ", {}},     {"SPHERE", {}},
    {"DRAG_DEBUGGER", {}}, {"LABEL", {"p", "s"}}, {"SLIDER", {"d"}},       {"SLIDER_FRAME", {}}, {"BUTTON", {"b"}},
    {"CHECKBOX", {"b"}},   {"POINT_2D", {"p"}},   {"LINE_2D", {"p", "q"}}, {"BOX_2D", {}},
};
const std::vector<std::pair<const char*, const char*>> kManipulators = {
    {"TRANSLATION_X", "tx"}, {"TRANSLATION_Y", "tx"}, {"ROTATION_Z", "a"},
    {"SLIDER", "d"},         {"POSITION_2D", "p"},    {"BUTTON", "b"},
};

Json randomScene(Random& r) {
    const int width = r.whole(40, 90), height = r.whole(40, 90);
    Json doc = {{"viewport", {width, height}}, {"camera", camera(r)}, {"nodes", Json::array()}};
    if (r.chance(0.3))
        doc["dpiScale"] = r.pick(std::vector<double>{1.5, 2.0, 0.75});
    if (r.chance(0.25))
        doc["samples"] = 4;
    const int count = r.whole(3, 12);
    std::vector<std::string> names, draggable;
    for (int i = 0; i < count; ++i) {
        const std::string name = "n" + std::to_string(i);
        Json node = {{"name", name}};
        if (i > 0 && r.chance(0.3))
            node["parent"] = r.pick(names);
        Json& attrs = node["attributes"];
        attrs["t"] = position(r, 2.5);
        attrs["tx"] = scalar(r, -1, 1);
        attrs["a"] = scalar(r, -180, 180);
        attrs["d"] = scalar(r, 0, 100);
        attrs["p"] = position(r, 1);
        attrs["q"] = position(r, 1);
        attrs["b"] = {{"type", "bool"}, {"value", r.chance(0.5)}};
        attrs["s"] = {{"type", "string"}, {"value", r.pick(std::vector<std::string>{"x", "Label", "a longer one"})}};
        node["transformations"] = {{{"type", "TRANSLATION_XY"}, {"attributes", {"t"}}},
                                   {{"type", "TRANSLATION_X"}, {"attributes", {"tx"}}}};
        if (r.chance(0.5))
            node["transformations"].push_back({{"type", "ROTATION_Z"}, {"attributes", {"a"}}});
        node["painters"] = Json::array();
        for (int k = r.whole(1, 2); k > 0; --k) {
            const auto& [type, bound] = r.pick(kPainters);
            node["painters"].push_back({{"type", type}, {"attributes", bound}});
        }
        const auto& [manipulator, attribute] = r.pick(kManipulators);
        node["manipulator"] = {{"type", manipulator}, {"attributes", {attribute}}};
        if (r.chance(0.85))
            node["picker"] = {{"type", "MONO"}, {"attributes", {attribute}}};
        node["properties"] = properties(r);
        doc["nodes"].push_back(node);
        names.push_back(name);
    }

    Json script = Json::array();
    const auto point = [&] { return Json{r.real(-5, width + 5), r.real(-5, height + 5)}; };
    for (int s = r.whole(6, 12); s > 0; --s) {
        switch (r.whole(0, 9)) {
            case 0:
                script.push_back({{"frame", r.whole(1, 9)}});
                break;
            case 1:
                script.push_back({{"select", {r.pick(names)}}});
                break;
            case 2:
                script.push_back({{"set", {{r.pick(names) + ".tx", r.real(-2, 2)}}}});
                break;
            case 3:
                script.push_back({{"drag", {{"from", point()}, {"to", point()}, {"steps", r.whole(1, 3)}}}});
                break;
            case 4:
                script.push_back({{"drag", {{"from", point()}, {"to", point()}, {"node", r.pick(names)}}}});
                break;
            case 5:
                script.push_back({{r.chance(0.7) ? "undo" : "redo", 1}});
                break;
            case 6:
                script.push_back({{"properties", {{"node", r.pick(names)}, {"set", properties(r)}}}});
                break;
            case 7:
                script.push_back({{"camera", camera(r)}});
                break;
            case 8:
                script.push_back({{"click", point()}});
                break;
            default:
                script.push_back({{"animationMode", "range"}, {"range", {1, 9}}});
                break;
        }
        script.push_back({{"render", "r.png"}, {"pick", r.chance(0.3)}});
    }
    doc["script"] = script;
    return doc;
}

// 250 scenes in five runs of 50, so that tests running side by side share them out.
class RandomScenes : public ::testing::TestWithParam<unsigned> {};

TEST_P(RandomScenes, EditsBetweenFramesChangeNoPixel) {
    rigkit_test::loadPlugin();
    constexpr unsigned kScenes = 50;
    int draws = 0;
    for (unsigned seed = GetParam() * kScenes + 1; seed <= (GetParam() + 1) * kScenes; ++seed) {
        Random r(seed);
        const Json doc = randomScene(r);
        SCOPED_TRACE("random scene " + std::to_string(seed) + ": " + doc.dump());
        runner::Scene scene = runner::loadScene(doc);
        draws += play(scene, scene.script, "random scene " + std::to_string(seed), r.rng, true);
        if (::testing::Test::HasFailure())
            break;
    }
    EXPECT_GT(draws, int(kScenes) * 5);
}

INSTANTIATE_TEST_SUITE_P(CullingIdentity, RandomScenes, ::testing::Range(0u, 5u));

// Controls of every kind that draw in the node's frame or in pixels, on a grid wider than
// the view, each moved by a keyed translation.
Json movingGrid() {
    const std::vector<std::pair<const char*, std::vector<const char*>>> kinds = {
        {"ARROW_Y", {}}, {"CIRCLE_Z", {}}, {"POINT_2D", {"p"}}, {"SLIDER", {"d"}}, {"LABEL", {"p", "s"}}};
    Json nodes = Json::array();
    for (int i = 0; i < 48; ++i) {
        const auto& [painter, bound] = kinds[std::size_t(i) % kinds.size()];
        nodes.push_back({{"name", "c" + std::to_string(i)},
                         {"attributes",
                          {{"at", {{"type", "position2d"}, {"value", {0.3 * (i % 8) - 1.0, 0.3 * (i / 8) - 0.8}}}},
                           {"move", {{"type", "position2d"}, {"curve", "bezier"}, {"keys", {{1, {0, 0}}, {9, {0.2, 0.1}}}}}},
                           {"p", {{"type", "position2d"}, {"value", {0.05, 0.0}}}},
                           {"d", {{"type", "double"}, {"value", 40.0}}},
                           {"s", {{"type", "string"}, {"value", "L" + std::to_string(i)}}}}},
                         {"transformations", {{{"type", "TRANSLATION_XY"}, {"attributes", {"at"}}},
                                              {{"type", "TRANSLATION_XY"}, {"attributes", {"move"}}}}},
                         {"painters", {{{"type", painter}, {"attributes", bound}}}},
                         {"manipulator", {{"type", "POSITION_2D"}, {"attributes", {"move"}}}},
                         {"picker", {{"type", "MONO"}, {"attributes", {"move"}}}},
                         {"properties", {{"length", 0.1}, {"radius", 0.05}, {"size", 0.01}, {"label_size", 5}}}});
    }
    return {{"viewport", {96, 80}}, {"camera", {{"type", "ortho"}, {"pixelsPerUnit", 60}}}, {"nodes", nodes}};
}

// A culled pass draws only what it can see, and what culling keeps is the node's own: a
// camera that moves, playback that moves the nodes and a drag that moves one learn nothing
// again; an edit of what a node draws learns
// that node; a pick right after the camera moved paints what is under the pointer.
TEST(CullingBounds, WhatMovesIsNotLearntAgain) {
    rigkit_test::loadPlugin();
    runner::Scene scene = runner::loadScene(movingGrid());
    SC_SceneCommon& common = *scene.common;
    VS_OffscreenContext& gl = rigkit_test::gl(96, 80);
    VS_View view;
    view.camera = runner::cameraChain(scene.camera, 96, 80);
    view.frameKey = MO_FrameKey(1);
    const auto learnt = [&](const VS_View& v) {
        VS_SceneRenderer::render(gl, common, v);
        std::size_t both = VS_SceneRenderer::lastPass(common).learnt;
        VS_SceneRenderer::renderPick(gl, common, v);
        return both + VS_SceneRenderer::lastPass(common).learnt;
    };
    view.culling = false;
    VS_SceneRenderer::render(gl, common, view);
    EXPECT_EQ(VS_SceneRenderer::lastPass(common).painted, common.nodes().size());
    view.culling = true;
    EXPECT_EQ(learnt(view), 2 * common.nodes().size());
    EXPECT_LT(VS_SceneRenderer::lastPass(common).painted, common.nodes().size());
    runner::Camera camera = scene.camera;
    for (const auto& [x, ppu] : {std::pair{0.4, 60.0}, {-0.7, 60.0}, {0.1, 150.0}, {0.0, 25.0}}) {
        camera.center = Math::Point2d(x, 0.2);
        camera.pixelsPerUnit = ppu;
        view.camera = runner::cameraChain(camera, 96, 80);
        EXPECT_EQ(learnt(view), 0u) << "ortho at " << x << ", " << ppu << " pixels a unit";
    }
    view.camera = Math::CameraTransformChain::perspective(80, 96, {0.5, -1.5, 3}, {0, 0, 0}, {0, 1, 0}, 50);
    EXPECT_EQ(learnt(view), 0u) << "orbited and resized";
    for (int frame = 2; frame < 6; ++frame) {
        view.frameKey = MO_FrameKey(frame);
        EXPECT_EQ(learnt(view), 0u) << "frame " << frame;
    }
    // A drag moves its node as it goes.
    view.camera = runner::cameraChain(scene.camera, 96, 80);
    const auto* moved = static_cast<const AT_Position2dAttr*>(common.findNode("c9")->attribute("move"));
    Math::Point2d before, after;
    moved->getValue(5, before);
    SLB_DragContext context(&common);
    context.setCamera(view.camera);
    context.setFrames(5, 5);
    VS_Canvas canvas(96, 80);
    CC_CameraChainTransformCanvasBinder binder(canvas);
    binder.setTransformChain(view.camera);
    context.setOglMatrixManager(&binder);
    CO_UndoHistory history;
    SLB_DragSession drag(context, history);
    ASSERT_TRUE(drag.press(common.findNode("c9"), {40, 40}));
    for (int step = 1; step < 4; ++step) {
        drag.move({40.0 + 7 * step, 40.0 - 3 * step});
        EXPECT_EQ(learnt(view), 0u) << "drag move " << step;
    }
    moved->getValue(5, after);
    EXPECT_NE(before.x, after.x);
    drag.cancel();
    // A point's own position is what it draws; a label's text too.
    static_cast<AT_Position2dAttr*>(common.findNode("c2")->attribute("p"))->setLocalValues({0.1, 0.0});
    static_cast<AT_StringAttr*>(common.findNode("c4")->attribute("s"))->setValue(1, "longer");
    EXPECT_EQ(learnt(view), 4u);
    // A hover right after the camera moved paints no more than the pixels under it reach.
    view.camera = Math::CameraTransformChain::orthographic(96, 80, {0.05, 0.0}, 60);
    VS_SceneRenderer::pickAt(common, view, 48, 40);
    EXPECT_EQ(VS_SceneRenderer::lastPass(common).learnt, 0u);
    EXPECT_LE(VS_SceneRenderer::lastPass(common).painted, 2u);
}

// Playback places again the moving nodes a pass finds near the view, by where their keys
// can take them, and not the others; but a node whose motion has no bound known (a keyed
// turn, which is not affine in its angle) is placed at every frame wherever it is.
TEST(CullingBounds, PlaybackPlacesWhatIsNearTheView) {
    rigkit_test::loadPlugin();
    Json doc = movingGrid();
    Json& turning = doc["nodes"][47];
    turning["attributes"]["turn"] = {{"type", "double"}, {"curve", "bezier"}, {"keys", {{1, 0}, {9, 90}}}};
    turning["transformations"].push_back({{"type", "ROTATION_Z"}, {"attributes", {"turn"}}});
    runner::Scene scene = runner::loadScene(doc);
    SC_SceneCommon& common = *scene.common;
    VS_OffscreenContext& gl = rigkit_test::gl(96, 80);
    VS_View view;
    view.camera = Math::CameraTransformChain::orthographic(96, 80, {-1.0, -0.8}, 150);
    view.frameKey = MO_FrameKey(1);
    VS_SceneRenderer::render(gl, common, view);
    for (int frame = 2; frame < 9; ++frame) {
        view.frameKey = MO_FrameKey(frame);
        VS_SceneRenderer::render(gl, common, view);
        const VS_PassStats pass = VS_SceneRenderer::lastPass(common);
        EXPECT_GT(pass.painted, 0u);
        // Each node drawn moved, and the turning one, far from the view, is not drawn.
        EXPECT_GE(pass.placed, pass.painted + 1) << "frame " << frame;
        EXPECT_LE(pass.placed, common.nodes().size() / 4) << "frame " << frame;
    }
}

// Culling only pays when the bounds outlive a frame: drawing changes nothing the scene
// holds, so a second frame of an unchanged scene asks no node again.
TEST(CullingBounds, DrawingLeavesTheEditCountAlone) {
    rigkit_test::loadPlugin();
    const std::filesystem::path showcase = std::filesystem::path(rigkit_test::kSourceDir) / "examples/showcase.json";
    runner::Scene scene = runner::loadScene(runner::readDocumentFile(showcase));
    VS_OffscreenContext& gl = rigkit_test::gl(scene.width, scene.height);
    VS_View view;
    view.camera = runner::cameraChain(scene.camera, scene.width, scene.height);
    VS_SceneRenderer::render(gl, *scene.common, view);
    VS_SceneRenderer::renderPick(gl, *scene.common, view);
    const std::uint64_t edits = UT_EditCount::s_count;
    VS_SceneRenderer::render(gl, *scene.common, view);
    VS_SceneRenderer::renderPick(gl, *scene.common, view);
    VS_SceneRenderer::pickAt(*scene.common, view, 10, 10);
    EXPECT_EQ(UT_EditCount::s_count, edits);
}

}  // namespace
