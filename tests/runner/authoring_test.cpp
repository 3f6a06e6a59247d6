// Each step that changes what a scene is made of, played on a small rig: the scene file a
// save writes loads back to the same pictures as the edited scene; the step's undo gives
// the file back byte for byte (numbers as they were written, keys only an editor reads)
// and the same pictures; its redo gives the edited file again. A refused step says why
// and changes nothing.

#include "apps/core/scene_loader.h"
#include "apps/core/scene_writer.h"
#include "apps/core/script.h"
#include "apps/core/session.h"
#include "host/draw/VS_OffscreenContext.h"
#include "host/draw/VS_SceneRenderer.h"
#include "host/scene/SC_SceneCommon.h"
#include "tests/support/gl_context.h"
#include "tests/support/plugin.h"

#include <gtest/gtest.h>

#include <sstream>

using runner::Json;

namespace {

// Numbers written as a person writes them: a save keeps how unchanged ones were written.
const char* const kRig = R"({
  "viewport": [200, 200],
  "camera": {"type": "ortho", "center": [0, 0], "pixelsPerUnit": 50},
  "nodes": [
    {"name": "a",
     "attributes": {"p": {"type": "position2d", "value": [0.50, 0.25]},
                    "q": {"type": "position2d", "value": [-0.5, -1.0]}},
     "painters": [{"type": "POINT_2D", "attributes": ["p"]}],
     "manipulator": {"type": "POSITION_2D", "attributes": ["p"]},
     "picker": {"type": "MONO", "attributes": ["p"]},
     "properties": {"size": 0.2, "color": [255, 200, 0, 255]}},
    {"name": "b", "parent": "a",
     "attributes": {"t": {"type": "double", "value": 0.5}, "p": {"type": "position2d", "value": [0, 1]}},
     "transformations": [{"type": "TRANSLATION_X", "attributes": ["t"]}],
     "painters": [{"type": "POINT_2D", "attributes": ["p"]}],
     "properties": {"size": 0.15}},
    {"name": "c",
     "attributes": {"p": {"type": "position2d", "curve": "bezier", "keys": [[1, [0, -1]], [10, [1.5, -1]]]}},
     "painters": [{"type": "POINT_2D", "attributes": ["p"]}],
     "properties": {"size": 0.1, "color": [0, 200, 255, 255]}}
  ],
  "script": []
})";

struct Pictures {
    std::vector<unsigned char> image;
    std::vector<unsigned char> pick;
    bool operator==(const Pictures& o) const { return image == o.image && pick == o.pick; }
};

Pictures draw(const runner::Scene& scene, SC_SceneCommon& nodes) {
    VS_View view;
    view.camera = runner::cameraChain(scene.camera, scene.width, scene.height);
    view.background = scene.background;
    view.frameKey = MO_FrameKey(nodes.currentFrame());
    VS_OffscreenContext& gl = rigkit_test::gl(64, 64);
    return {VS_SceneRenderer::render(gl, nodes, view).rgba, VS_SceneRenderer::renderPick(gl, nodes, view).image.rgba};
}

// A rig loaded as the viewer loads a file, with the session that edits it.
class Rig {
public:
    Rig()
        : m_document(runner::readDocument(std::make_shared<const Json>(runner::parseDocument(kRig)))),
          m_scene(runner::buildScene(m_document)) {
        m_session.setDocument(&m_document);
        m_session.setFrame(4);
    }

    runner::Session& session() { return m_session; }

    // Throws RunError as the runner would report it.
    void play(const Json& step) {
        std::ostringstream out;
        runner::ScriptContext context{m_session, out, "."};
        runner::playScript(Json::array({step}), runner::defaultSteps(), context);
    }

    // What a save writes now.
    std::string saved() {
        return runner::documentText(runner::writeDocument(runner::captureDocument(m_document, m_session.common())));
    }

    Pictures pictures() { return draw(m_scene, m_session.common()); }

private:
    runner::Document m_document;
    runner::Scene m_scene;
    runner::Session m_session{m_scene};
};

Pictures loadedPictures(const std::string& text, double frame) {
    runner::Scene scene = runner::loadScene(runner::parseDocument(text));
    scene.common->setCurrentFrame(frame);
    return draw(scene, *scene.common);
}

class Authoring : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override { rigkit_test::loadPlugin(); }
};

TEST_P(Authoring, SavesWhatItDrawsAndUndoesToTheSameBytes) {
    Rig rig;
    const std::string before = rig.saved();
    const Pictures beforePictures = rig.pictures();
    ASSERT_NO_THROW(rig.play(Json::parse(GetParam())));
    ASSERT_EQ(rig.session().history.size(), 1u);

    const std::string after = rig.saved();
    EXPECT_NE(after, before);
    const Pictures afterPictures = rig.pictures();
    EXPECT_TRUE(loadedPictures(after, 4) == afterPictures) << "the saved file draws otherwise:\n" << after;

    rig.session().history.undo();
    EXPECT_EQ(rig.saved(), before);
    EXPECT_TRUE(rig.pictures() == beforePictures);
    rig.session().history.redo();
    EXPECT_EQ(rig.saved(), after);
    EXPECT_TRUE(rig.pictures() == afterPictures);
}

INSTANTIATE_TEST_SUITE_P(
    EveryStep, Authoring,
    ::testing::Values(R"({"addNode": "n", "parent": "b"})",
                      R"({"addAttribute": "c", "name": "w", "type": "double", "value": 2})",
                      R"({"addComponent": "b", "family": "manipulator", "type": "POSITION_2D", "attributes": ["p"]})",
                      R"({"addComponent": "c", "family": "painter", "type": "BOX_2D"})",
                      R"({"removeComponent": "a", "family": "painter"})",
                      R"({"bind": "a", "family": "painter", "attributes": ["q"]})",
                      R"({"reparent": "a", "to": "c"})", R"({"reparent": "b", "to": null})",
                      R"({"connect": "c", "port": 0, "to": "a"})", R"({"duplicate": "c", "name": "d"})",
                      R"({"delete": "c"})", R"({"setKey": "c.p", "at": 4, "value": [1, 2]})",
                      R"({"setKey": "b.t", "at": 4, "value": 2})", R"({"deleteKey": "c.p", "at": 10})",
                      R"({"moveKey": "c.p", "at": 10, "to": 6})", R"({"curve": "c.p", "kind": "ease"})",
                      // The timeline's selection of keys: moved past each other, deleted to none.
                      R"({"moveKey": [["c.p", 1], ["c.p", 10]], "by": 9})",
                      R"({"deleteKey": [["c.p", 1], ["c.p", 10]]})", R"({"curve": ["c.p"], "kind": "velobased"})",
                      R"({"setProperty": "a", "key": "size", "value": 0.35})",
                      R"({"setProperty": ["a", "b"], "key": "size", "value": 0.3})"));

// Edits before and after a change of structure undo and redo through it: the commands
// recorded before it still reach the nodes they edited.
TEST(AuthoringHistory, EditsOnEitherSideOfAStructureChangeUndo) {
    rigkit_test::loadPlugin();
    Rig rig;
    const std::string start = rig.saved();
    rig.play(Json::parse(R"({"drag": {"node": "a", "from": [125, 87.5], "to": [150, 87.5], "steps": 2}})"));
    const std::string dragged = rig.saved();
    rig.play(Json::parse(R"({"duplicate": "a"})"));
    rig.play(Json::parse(R"({"drag": {"node": "a1", "from": [150, 87.5], "to": [150, 50], "steps": 2}})"));
    rig.play(Json::parse(R"({"expect": {"a.p": [1, 0.25], "a1.p": [1, 1]}, "tolerance": 1e-9})"));
    rig.session().history.undo(2);
    EXPECT_EQ(rig.saved(), dragged);
    rig.session().history.undo();
    EXPECT_EQ(rig.saved(), start);
    rig.session().history.redo(3);
    rig.play(Json::parse(R"({"expect": {"a.p": [1, 0.25], "a1.p": [1, 1]}, "tolerance": 1e-9})"));
}

TEST(AuthoringRefusals, SayWhyAndChangeNothing) {
    rigkit_test::loadPlugin();
    const struct {
        const char* step;
        const char* why;
    } refusals[] = {
        {R"({"addNode": "a"})", "the name \"a\" is taken"},
        {R"({"addNode": "n", "parent": "x"})", "there is no node \"x\""},
        {R"({"addAttribute": "a", "name": "p"})", "node \"a\" already has an attribute \"p\""},
        {R"({"addAttribute": "a", "name": "k", "type": "quaternion"})", "quaternion"},
        {R"({"addComponent": "a", "family": "painter", "type": "NOPE"})",
         "no OpenGL painter is registered as \"NOPE\""},
        {R"({"addComponent": "a", "family": "gizmo", "type": "BOX_2D"})", "unknown family \"gizmo\""},
        {R"({"addComponent": "c", "family": "painter", "type": "POINT_2D"})",
         "cannot be built from attributes [] (POINT_2D takes a first attribute of kind position2d"},
        {R"({"addComponent": "a", "family": "manipulator", "type": "SLIDER", "attributes": ["p"]})",
         "already has a manipulator"},
        {R"({"removeComponent": "c", "family": "picker"})", "node \"c\" has no such picker"},
        {R"({"bind": "a", "family": "painter", "index": 3, "attributes": ["q"]})", "has no such painter"},
        {R"({"bind": "a", "family": "painter", "attributes": ["nope"]})", "nope"},
        {R"({"reparent": "a", "to": "b"})", "would be its own ancestor or input"},
        {R"({"reparent": "a", "to": "a"})", "would be its own ancestor or input"},
        {R"({"connect": "a", "port": 2, "to": "c"})", "node \"a\" has ports 0 to 0"},
        {R"({"duplicate": "a", "name": "b"})", "the name \"b\" is taken"},
        {R"({"delete": "a"})", "node \"a\" is the parent or an input of \"b\""},
        {R"({"setKey": "z.p", "value": 1})", "there is no attribute \"z.p\""},
        {R"({"deleteKey": "c.p", "at": 5})", "\"c.p\" has no key at frame 5"},
        {R"({"moveKey": "c.p", "at": 1, "to": 10})", "\"c.p\" has a key at frame 10"},
        {R"({"curve": "b.t", "kind": "ease"})", "\"b.t\" is not animated on a curve"},
        {R"({"curve": "c.p", "kind": "wobbly"})", "wobbly"},
        {R"({"moveKey": [["c.p", 1]], "by": 9})", "\"c.p\" has a key at frame 10"},
        {R"({"deleteKey": [["c.p", 1], ["c.p", 2]]})", "\"c.p\" has no key at frame 2"},
        {R"({"setProperty": ["a", "b"], "key": "color", "value": [0, 0, 0, 255]})", "node \"b\" has no property \"color\""},
        {R"({"setProperty": "a", "key": "size"})", "missing: the property's value"},
    };
    for (const auto& r : refusals) {
        Rig rig;
        const std::string before = rig.saved();
        try {
            rig.play(Json::parse(r.step));
            ADD_FAILURE() << r.step << " was not refused";
        } catch (const runner::RunError& e) {
            EXPECT_NE(std::string(e.what()).find(r.why), std::string::npos) << r.step << ": " << e.what();
        }
        EXPECT_EQ(rig.saved(), before) << r.step;
        EXPECT_EQ(rig.session().history.size(), 0u) << r.step;
    }
}

}  // namespace
