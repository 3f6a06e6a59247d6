// A saved scene must load back as the same scene: every scene of the repository is drawn,
// saved, loaded again and drawn again, before and after its script has edited it, and the
// two pictures (ordinary and picking pass) must be the same bytes. A document written
// without the file it came from reads back as the same document.

#include "apps/core/scene_writer.h"
#include "apps/core/scene_loader.h"
#include "apps/core/script.h"
#include "apps/core/session.h"
#include "host/commands/attribute_edit_commands.h"
#include "host/draw/VS_OffscreenContext.h"
#include "host/draw/VS_SceneRenderer.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/MO_Node.h"
#include "host/scene/SC_SceneCommon.h"
#include "tests/support/gl_context.h"
#include "tests/support/plugin.h"
#include "tests/support/scenes.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using runner::Json;

namespace {

namespace fs = std::filesystem;

struct Pictures {
    VS_Image image;
    VS_Image pick;
};

Pictures draw(runner::Scene& scene, const runner::Camera& camera, double frame) {
    VS_View view;
    view.camera = runner::cameraChain(camera, scene.width, scene.height);
    view.background = scene.background;
    view.frameKey = MO_FrameKey(frame);
    return {VS_SceneRenderer::render(rigkit_test::gl(64, 64), *scene.common, view),
            VS_SceneRenderer::renderPick(rigkit_test::gl(64, 64), *scene.common, view).image};
}

runner::Scene reload(const Json& document) {
    return runner::loadScene(runner::parseDocument(runner::documentText(document)));
}

runner::Document kept(const Json& json) {
    return runner::readDocument(std::make_shared<const Json>(json));
}

// What saving the scene writes.
Json saved(const runner::Document& loaded, const runner::Scene& scene) {
    return runner::writeDocument(runner::captureDocument(loaded, *scene.common));
}

// The text of that save, as the viewer writes it over the file the document was read from.
std::string savedText(const runner::Document& loaded, const runner::Scene& scene) {
    const runner::Document document = runner::captureDocument(loaded, *scene.common);
    return runner::documentText(document, runner::writeDocument(document));
}

void expectSamePictures(const Pictures& a, const Pictures& b, const std::string& what) {
    EXPECT_TRUE(a.image.width == b.image.width && a.image.rgba == b.image.rgba) << what << ": the picture differs";
    EXPECT_TRUE(a.pick.rgba == b.pick.rgba) << what << ": the picking pass differs";
}

class SceneRoundTrip : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override { rigkit_test::loadPlugin(); }
};

TEST_P(SceneRoundTrip, SavedSceneDrawsTheSameAsLoadedAndAfterItsScript) {
    const std::string text = runner::readFileText(GetParam());
    const runner::Document document = runner::readDocumentKeepingText(text);
    runner::Scene scene = runner::buildScene(document);
    // Nothing edited: the file is written byte for byte as it was.
    EXPECT_EQ(savedText(document, scene), text);

    runner::Scene again = reload(saved(document, scene));
    expectSamePictures(draw(scene, scene.camera, 1.0), draw(again, again.camera, 1.0), "as loaded");

    // After the script's edits (drags, sets, property changes, undos), at the frame where it
    // stopped and through its last camera. The selection is not part of the file. A
    // component told of a property change keeps what it held for keys the change removed
    // or left out, where one built from the file takes their defaults (some of which follow
    // other properties): no file states that, so the script plays up to its first
    // property change.
    Json script = Json::array();
    for (const Json& step : scene.script) {
        if (step.contains("properties"))
            break;
        script.push_back(step);
    }
    const fs::path out = fs::temp_directory_path() / ("rigkit-roundtrip-" + std::to_string(::getpid()));
    std::ostringstream printed;
    runner::Session session(scene);
    // Authoring steps change the document with the scene.
    runner::Document authored = document;
    session.setDocument(&authored);
    runner::ScriptContext context{session, printed, out.string()};
    runner::playScript(script, runner::defaultSteps(), context);
    fs::remove_all(out);
    scene.common->selection().clear();
    const std::string edited = savedText(authored, scene);
    runner::Scene editedAgain = runner::loadScene(runner::parseDocument(edited));
    const double frame = session.frame();
    expectSamePictures(draw(scene, scene.camera, frame), draw(editedAgain, scene.camera, frame), "after the script");
    // Saving what was loaded from a save gives the same file.
    EXPECT_EQ(savedText(runner::readDocumentKeepingText(edited), editedAgain), edited);
}

// The document holds all a file says: written whole, without the file, it reads back the
// same, except for the local value of a keyed attribute, which shows nowhere.
TEST_P(SceneRoundTrip, DocumentWrittenWithoutItsFileReadsBackTheSame) {
    runner::Document document = runner::readDocument(runner::readDocumentFile(GetParam()));
    const Json written = runner::writeDocument(document);
    const runner::Document again = runner::readDocument(runner::parseDocument(runner::documentText(written)));
    for (std::size_t n = 0; n < document.nodes.size() && n < again.nodes.size(); ++n)
        for (std::size_t a = 0; a < document.nodes[n].attributes.size(); ++a)
            if (!document.nodes[n].attributes[a].keys.empty() && a < again.nodes[n].attributes.size())
                document.nodes[n].attributes[a].value = again.nodes[n].attributes[a].value;
    EXPECT_TRUE(again == document) << runner::documentText(written);
}

INSTANTIATE_TEST_SUITE_P(Repository, SceneRoundTrip, ::testing::ValuesIn(rigkit_test::repositoryScenes()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = fs::path(info.param).parent_path().filename().string() + "_" +
                                                fs::path(info.param).stem().string();
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

// What the file says that the scene does not model is kept; what an edit changed is
// written, keyed as the edit keyed it.
TEST(SceneWriter, KeepsWhatItDoesNotModelAndWritesEdits) {
    rigkit_test::loadPlugin();
    const Json document = Json::parse(R"({
      "$schema": "../docs/scene.schema.json",
      "viewport": [200, 100],
      "nodes": [{
        "name": "n",
        "attributes": {
          "tx": {"type": "double", "value": 2},
          "pos": {"type": "position2d", "value": [1, 2]},
          "on": {"type": "bool"},
          "e": {"type": "double", "curve": "expr", "keys": [[1, 0], [10, 9]]}
        },
        "properties": {"length": 2, "gone": "x", "color": [255, 0, 0, 255]}
      }],
      "script": [{"frame": 3}]
    })");
    const runner::Document loaded = kept(document);
    runner::Scene scene = runner::buildScene(loaded);
    MO_Node* n = scene.common->findNode("n");
    Attr::planValuesAt({static_cast<AT_DoubleAttr*>(n->attribute("tx"))}, 5.0, {1.5}, true)->execute();
    Attr::planValuesAt({static_cast<AT_ComplexAttr*>(n->attribute("pos"))->component(1)}, 4.0, {7.0}, true)->execute();
    static_cast<AT_BoolAttr*>(n->attribute("on"))->setValue(1.0, true);
    n->changeProperties({{"added", true}, {"color", std::vector<double>{0, 255, 0, 255}}}, {"gone"});

    const Json written = saved(loaded, scene);
    EXPECT_EQ(written["$schema"], document["$schema"]);
    EXPECT_EQ(written["script"], document["script"]);
    const Json& attributes = written["nodes"][0]["attributes"];
    // Keyed at frame 5 by an attribute that was not animated: a curve of the kind edits make.
    EXPECT_EQ(attributes["tx"]["curve"], "bezier");
    EXPECT_EQ(attributes["tx"]["keys"], Json::parse("[[5.0, 1.5]]"));
    // One component keyed: the other's value at that frame completes the key.
    EXPECT_EQ(attributes["pos"]["keys"], Json::parse("[[4.0, [1.0, 7.0]]]"));
    EXPECT_EQ(attributes["on"]["value"], true);
    EXPECT_EQ(attributes["e"], document["nodes"][0]["attributes"]["e"]);
    EXPECT_EQ(runner::show(written["nodes"][0]["properties"]),
              R"({"length":2,"color":[0.0,255.0,0.0,255.0],"added":true})");
}

TEST(SceneWriter, WritesAtomicallyOrLeavesTheFileWhole) {
    const fs::path dir = fs::temp_directory_path() / ("rigkit-atomic-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string file = (dir / "scene.json").string();
    std::string why;
    ASSERT_TRUE(runner::writeFileAtomically(file, "first\n", why)) << why;
    ASSERT_TRUE(runner::writeFileAtomically(file, "second\n", why)) << why;
    EXPECT_EQ(runner::readFileText(file), "second\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1) << "a temporary file was left";

    // A directory where the file should go: the rename fails, nothing is left behind.
    const std::string blocked = (dir / "blocked").string();
    fs::create_directories(fs::path(blocked) / "inside");
    EXPECT_FALSE(runner::writeFileAtomically(blocked, "x", why));
    EXPECT_NE(why.find("cannot replace the file"), std::string::npos) << why;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
    EXPECT_FALSE(runner::writeFileAtomically((dir / "missing" / "scene.json").string(), "x", why));
    fs::remove_all(dir);
}

}  // namespace
