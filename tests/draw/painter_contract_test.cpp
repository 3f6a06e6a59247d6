// What the renderer relies on from every painter, checked on every painter the plug-in
// registers: picking draws only the pick colour; GL state is left as it was found (but
// for what a painter's own GL calls leave by design); a paint is a pure function of its
// inputs, so two give the same pixels; and a paint in GL feedback mode, by which the
// renderer learns where a node draws, changes no pixel and nothing a later paint draws.
// A painter told of new properties draws what one built from them draws, and one told of
// none draws as before.

#include "host/draw/VS_ArtCache.h"
#include "host/draw/VS_PickCode.h"
#include "tests/draw/draw_support.h"
#include "tests/support/components.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

using namespace draw_test;

namespace {

// ---- what a painter may leave behind, and the painters that pick in their own colours -----

// State that a painter's own GL calls leave as their behaviour fixes it: the arrow mesh and
// the drag debugger's cubes set the current colour with glColor3ub and their vertex array
// with glVertexPointer outside the attributes they push, and the drag debugger leaves that
// array on.
const std::set<std::string> kArrowMesh = {"current colour", "vertex array pointer"};
const std::map<std::string, std::set<std::string>> kLeftBehind = {
    {"ARROW_X", kArrowMesh},
    {"ARROW_Y", kArrowMesh},
    {"ARROW_Z", kArrowMesh},
    {"DRAG_DEBUGGER", {"current colour", "vertex array pointer", "vertex array"}},
};

// Painters that draw some of their own colours while picking, as their behaviour fixes: the
// label draws exactly as outside picking, and the drag debugger's second and third cubes
// keep their colours. No pixel of theirs may then read as another control's pick code.
const std::set<std::string> kOwnColoursWhilePicking = {"LABEL", "DRAG_DEBUGGER"};

// ---- the cases ------------------------------------------------------------------------------

// Properties under which every painter draws something visible, in one way or another:
// keys a painter does not read are left alone by it.
struct PropertyCase {
    const char* name;
    std::vector<std::pair<QString, MO_PropertyValue>> properties;
    std::int32_t selection;
    // The node's frame turned about (1, 1, 0), so that controls lying in a plane through the
    // eye show too.
    double turnDegrees;
};

// clang-format off
const std::vector<PropertyCase> kCases = {
    {"limits",
     {{"show_limits", true}, {"show_grid_lines", true}, {"xmin", -1.0}, {"xmax", 1.0}, {"ymin", -1.0}, {"ymax", 1.0},
      {"xValues", std::vector<double>{0.5}}, {"yValues", std::vector<double>{-0.5}}, {"drop_shadow", true}},
     0, 25.0},
    {"screen_translucent_selected",
     {{"screen_space", true}, {"label_screenspace", false}, {"label_size", 40.0},
      {"color", std::vector<double>{200, 60, 30, 128}}, {"selection_color", std::vector<double>{30, 60, 200, 100}},
      {"inner_color", std::vector<double>{10, 200, 10, 90}}, {"point_style", QString("diamond")}, {"size", 0.1},
      {"show_limits", true}, {"xmin", -0.5}, {"xmax", 0.5}, {"ymin", -0.5}, {"ymax", 0.5}},
     1, 50.0},
    // Own colours that, without the picking colours' check bits, would read as pick code 1.
    {"relative_selected",
     {{"show_limits", true}, {"xmin", -1.0}, {"xmax", 1.0}, {"ymin", -1.0}, {"ymax", 1.0}, {"relative", true},
      {"label_color", std::vector<double>{128, 0, 0, 255}}, {"colorB", std::vector<double>{128, 0, 0, 255}}},
     1, 35.0},
};

// Every key any painter reads, twice over with other values (scene space and screen space),
// so that a painter built from one and updated to the other has every value to re-read.
using Properties = std::vector<std::pair<QString, MO_PropertyValue>>;
const std::vector<Properties> kEveryKey = {
    {{"color", std::vector<double>{200, 120, 40, 255}}, {"selection_color", std::vector<double>{40, 200, 120, 255}},
     {"outer_color", std::vector<double>{90, 30, 160, 255}}, {"inner_color", std::vector<double>{20, 90, 200, 255}},
     {"length", 0.8}, {"radius", 0.5}, {"width", 0.1}, {"size", 0.12}, {"min", -0.4}, {"max", 2.0},
     {"position", std::vector<double>{0.2, -0.1}}, {"screen_space", false}, {"xmin", -0.8}, {"ymin", -0.6},
     {"xmax", 0.9}, {"ymax", 0.7}, {"picking_width", 0.2}, {"picking_size", 0.2}, {"point_style", QString("square")},
     {"show_limits", true}, {"show_grid_lines", true}, {"box_color", std::vector<double>{250, 250, 0, 255}},
     {"xValues", std::vector<double>{0.2, 0.4}}, {"yValues", std::vector<double>{-0.3}}, {"relative", false},
     {"drop_shadow", true}, {"horizontal", true}, {"slider_color", std::vector<double>{10, 160, 160, 255}},
     {"contour_color", std::vector<double>{160, 10, 160, 255}},
     {"slider_selection_color", std::vector<double>{160, 160, 10, 255}},
     {"frame_color", std::vector<double>{60, 60, 200, 255}}, {"frame_selection_color", std::vector<double>{200, 60, 60, 255}},
     {"on_color", std::vector<double>{0, 220, 90, 255}}, {"off_color", std::vector<double>{220, 0, 90, 255}},
     {"line_width", 0.05}, {"label", QString("one")}, {"label_color", std::vector<double>{250, 200, 0, 255}},
     {"label_bg_color", std::vector<double>{0, 0, 90, 255}}, {"label_size", 14.0}, {"label_screenspace", true},
     {"label_pos", std::vector<double>{0.1, 0.2}}, {"label_screenspace_offset", std::vector<double>{3, 4}},
     {"label_justify", QString("left")}, {"colorB", std::vector<double>{0, 120, 250, 255}}},
    {{"color", std::vector<double>{30, 60, 220, 200}}, {"selection_color", std::vector<double>{220, 30, 60, 200}},
     {"outer_color", std::vector<double>{250, 250, 250, 255}}, {"inner_color", std::vector<double>{120, 60, 0, 255}},
     {"length", 0.3}, {"radius", 0.1}, {"width", 0.02}, {"size", 0.05}, {"min", 0.1}, {"max", 0.5},
     {"position", std::vector<double>{-0.3, 0.4}}, {"screen_space", true}, {"xmin", 0.1}, {"ymin", 0.2},
     {"xmax", 0.5}, {"ymax", 0.6}, {"picking_width", 0.05}, {"picking_size", 0.03}, {"point_style", QString("diamond")},
     {"show_limits", true}, {"show_grid_lines", false}, {"box_color", std::vector<double>{0, 250, 250, 255}},
     {"xValues", std::vector<double>{0.3}}, {"yValues", std::vector<double>{0.4, 0.5}}, {"relative", true},
     {"drop_shadow", false}, {"horizontal", false}, {"slider_color", std::vector<double>{200, 100, 0, 255}},
     {"contour_color", std::vector<double>{0, 100, 200, 255}},
     {"slider_selection_color", std::vector<double>{100, 0, 200, 255}},
     {"frame_color", std::vector<double>{90, 200, 90, 255}}, {"frame_selection_color", std::vector<double>{200, 90, 200, 255}},
     {"on_color", std::vector<double>{250, 120, 0, 255}}, {"off_color", std::vector<double>{0, 120, 250, 255}},
     {"line_width", 0.0}, {"label", QString("two words")}, {"label_color", std::vector<double>{0, 250, 200, 255}},
     {"label_bg_color", std::vector<double>{90, 0, 0, 255}}, {"label_size", 22.0}, {"label_screenspace", false},
     {"label_pos", std::vector<double>{-0.3, -0.2}}, {"label_screenspace_offset", std::vector<double>{-5, 2}},
     {"label_justify", QString("center")}, {"colorB", std::vector<double>{250, 0, 120, 255}}},
};
// clang-format on

struct Contract {
    rigkit_test::Component painter;
    const PropertyCase* properties;
};

void PrintTo(const Contract& c, std::ostream* out) {
    *out << c.painter.type << " " << c.properties->name;
}

std::vector<Contract> contracts() {
    std::vector<Contract> out;
    for (const rigkit_test::Component& c : rigkit_test::allComponents())
        if (c.family == rigkit_test::Family::Painter)
            for (const PropertyCase& properties : kCases)
                out.push_back({c, &properties});
    return out;
}

const VS_RGBA kPickColour = VS_PickColor(0x1234);

// One painter built for one case, painted on the rig.
struct Painting {
    // Built from `properties` instead of the case's own when given, under the case's turn
    // and selection.
    explicit Painting(const Contract& contract, const Properties* properties = nullptr) {
        for (const auto& [key, value] : properties ? *properties : contract.properties->properties)
            bag.set(key, value);
        std::vector<AT_Attr*> attributes;
        for (const char* name : contract.painter.attributes)
            attributes.push_back(node.node->attribute(name));
        painter.reset(
            MO_OGLPainterFactorySingleton().create(QString::fromStdString(contract.painter.type), {bag, attributes}));
        rig.binder.setModelMatrix(turned(contract.properties->turnDegrees, {1, 1, 0}));
        state.selection = contract.properties->selection;
        state.pickColor = kPickColour;
    }

    // A cleared pass whose state holds no leftovers of other tests, with values of its own
    // where the pass leaves GL's, so that a painter that sets one and leaves it shows.
    void begin(MO_OGLContext::RenderMode mode) {
        rig.begin(mode);
        for (GLenum array : {GL_VERTEX_ARRAY, GL_COLOR_ARRAY, GL_NORMAL_ARRAY, GL_TEXTURE_COORD_ARRAY})
            glDisableClientState(array);
        glVertexPointer(4, GL_FLOAT, 0, nullptr);
        glColor4f(0.1f, 0.2f, 0.3f, 0.4f);
        glLineWidth(2.5f);
        glPointSize(3.5f);
    }
    void paint(MO_OGLContext::RenderMode mode) {
        MO_OGLContext context(mode, rig.scene, rig.binder, MO_FrameKey(1));
        painter->paint(context, state);
    }
    VS_Image painted(MO_OGLContext::RenderMode mode) {
        begin(mode);
        paint(mode);
        return rig.read();
    }
    // Pixels other than the pass's background.
    int drawn(MO_OGLContext::RenderMode mode) {
        const VS_Image image = painted(mode);
        return extentOf(image, image.pixel(0, 0), -1, -1, true).count;
    }

    rigkit_test::Rig node;  // the attributes
    MO_PropertyBag bag;
    std::unique_ptr<MO_OGLPainter> painter;
    Rig rig;
    PaintState state;
};

class PainterContract : public ::testing::TestWithParam<Contract> {
protected:
    void SetUp() override { ASSERT_TRUE(p.painter) << "the factory refused the attributes it was found to accept"; }
    Painting p{GetParam()};
};

}  // namespace

TEST_P(PainterContract, PickingDrawsOnlyThePickColour) {
    const VS_Image picked = p.painted(MO_OGLContext::PickingRender);
    const VS_RGBA background = picked.pixel(0, 0);
    const bool ownColours = kOwnColoursWhilePicking.count(GetParam().painter.type) > 0;
    int stray = 0;
    for (int y = 0; y < picked.height; ++y)
        for (int x = 0; x < picked.width; ++x) {
            const VS_RGBA c = picked.pixel(x, y);
            if (c == background || c == kPickColour || (ownColours && VS_PickCode(c) == 0))
                continue;
            if (stray++ == 0)
                ADD_FAILURE() << "(" << x << ", " << y << ") is " << int(c.r) << " " << int(c.g) << " " << int(c.b)
                              << " " << int(c.a);
        }
    EXPECT_EQ(stray, 0) << "pixels in neither the pick colour nor the background";
}

TEST_P(PainterContract, LeavesGlStateAsItFoundIt) {
    const auto found = kLeftBehind.find(GetParam().painter.type);
    const std::set<std::string> none;
    const std::set<std::string>& leftBehind = found == kLeftBehind.end() ? none : found->second;
    for (const auto mode : {MO_OGLContext::NormalRender, MO_OGLContext::PickingRender}) {
        p.begin(mode);
        const Math::Matrix4x4 model = p.rig.binder.modelMatrix();
        const GlState before = readGlState();
        p.paint(mode);
        const GlState after = readGlState();
        // The pass's values differ from whatever a painter sets: what it leaves behind shows.
        for (std::size_t i = 0; i < before.size(); ++i) {
            const std::string name = i < kGlState.size() ? kGlState[i].first : "error";
            EXPECT_EQ(same(name, before[i], after[i]), !leftBehind.count(name))
                << name << " in mode " << mode << ": " << print(before[i]) << " became " << print(after[i]);
        }
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                EXPECT_NEAR(p.rig.binder.modelMatrix()(r, c), model(r, c), 1e-12) << "the binder's model matrix";
    }
}

TEST_P(PainterContract, TwoPaintsInARowGiveTheSamePixels) {
    for (const auto mode : {MO_OGLContext::NormalRender, MO_OGLContext::PickingRender}) {
        const VS_Image first = p.painted(mode);
        EXPECT_EQ(differingPixels(p.painted(mode), first), 0) << "mode " << mode;
    }
}

// Only a selection of exactly 1 shows outside picking, and picking shows none: a node
// selected as part of a group, or a handle other than the first, draws as unselected.
TEST_P(PainterContract, OnlyTheFirstHandleSelectedShowsAndPickingShowsNoSelection) {
    for (const auto mode : {MO_OGLContext::NormalRender, MO_OGLContext::PickingRender}) {
        p.state.selection = 0;
        const VS_Image unselected = p.painted(mode);
        for (const std::int32_t selection : {-1, 2, mode == MO_OGLContext::PickingRender ? 1 : 3}) {
            p.state.selection = selection;
            EXPECT_EQ(differingPixels(p.painted(mode), unselected), 0) << "selection " << selection << ", mode " << mode;
        }
    }
}

TEST_P(PainterContract, AFeedbackPaintDrawsNothingAndChangesNothingAfterIt) {
    const VS_Image drawn = p.painted(MO_OGLContext::NormalRender);

    p.begin(MO_OGLContext::NormalRender);
    const VS_Image cleared = p.rig.read();
    std::vector<GLfloat> feedback(std::size_t(1) << 22);
    glFeedbackBuffer(GLsizei(feedback.size()), GL_2D, feedback.data());
    glRenderMode(GL_FEEDBACK);
    {
        // As the renderer learns: without pictures of art, which would be taken of what
        // feedback mode does not draw.
        VS_ArtCache::Scope noPictures(nullptr);
        p.paint(MO_OGLContext::NormalRender);
    }
    const GLint values = glRenderMode(GL_RENDER);
    if (differingPixels(drawn, cleared) > 0) {
        EXPECT_GT(values, 0) << "feedback learnt nothing of where it draws";
    }
    EXPECT_EQ(differingPixels(p.rig.read(), cleared), 0) << "pixels drawn in feedback mode";

    p.paint(MO_OGLContext::NormalRender);
    EXPECT_EQ(differingPixels(p.rig.read(), drawn), 0);
}

// Keys that one update must give together to mean what they mean when a painter is built:
// a new colour seeds the 2D point's inner and outer colours unless they come with it.
const std::set<QString> kGivenTogether = {"color", "inner_color", "outer_color"};

// Painters whose placement is chosen when they are built (a slider's corner is taken only
// then, and its track keeps its place for good): their updates leave "screen_space" out.
const std::set<std::string> kPlacedWhenBuilt = {"SLIDER", "SLIDER_FRAME"};

// The second set of every key in two halves, every other key, so that each key is once
// given and once left out while the others change.
std::array<std::set<QString>, 2> halves(const std::string& painter) {
    std::array<std::set<QString>, 2> out{kGivenTogether, {}};
    int i = 0;
    for (const auto& [key, value] : kEveryKey[1])
        if (!kGivenTogether.count(key) && !(kPlacedWhenBuilt.count(painter) && key == "screen_space"))
            out[i++ % 2].insert(key);
    return out;
}

using BothPasses = std::array<VS_Image, 2>;

BothPasses bothPasses(Painting& p) {
    return {p.painted(MO_OGLContext::NormalRender), p.painted(MO_OGLContext::PickingRender)};
}

void expectSame(const BothPasses& got, const BothPasses& want, const std::string& what) {
    for (int pass = 0; pass < 2; ++pass)
        EXPECT_EQ(differingPixels(got[pass], want[pass]), 0) << what << (pass ? ", picking" : "");
}

// Told of nothing, a painter draws as before. Built from one set of every key and told of
// the other's values half at a time, it draws at each step what a painter built from the
// keys given so far, the rest from the first set, draws: it re-reads what it is given and
// keeps what it is not.
TEST_P(PainterContract, AnUpdateRereadsWhatItIsGivenAndKeepsTheRest) {
    auto* listener = dynamic_cast<MO_PropertyChangeListener*>(p.painter.get());
    if (!listener)
        GTEST_SKIP() << "the host never tells it of property changes";
    const BothPasses before = bothPasses(p);
    listener->update(MO_PropertyBag());
    expectSame(bothPasses(p), before, "after an empty update");

    Painting built(GetParam(), &kEveryKey[0]);
    const BothPasses first = bothPasses(built);
    Properties mixed = kEveryKey[0];
    int step = 0;
    for (const std::set<QString>& half : halves(GetParam().painter.type)) {
        MO_PropertyBag changed;
        for (const auto& [key, value] : kEveryKey[1])
            if (half.count(key)) {
                changed.set(key, value);
                std::find_if(mixed.begin(), mixed.end(), [&](const auto& kv) { return kv.first == key; })->second = value;
            }
        dynamic_cast<MO_PropertyChangeListener&>(*built.painter).update(changed);
        Painting fresh(GetParam(), &mixed);
        expectSame(bothPasses(built), bothPasses(fresh), "step " + std::to_string(++step));
    }
    // Otherwise the comparisons above could not tell a value left unread.
    EXPECT_GT(differingPixels(bothPasses(built)[0], first[0]), 0) << "the two sets draw alike";
}

INSTANTIATE_TEST_SUITE_P(Registered, PainterContract, ::testing::ValuesIn(contracts()),
                         [](const ::testing::TestParamInfo<Contract>& info) {
                             return info.param.painter.type + "_" + info.param.properties->name;
                         });

// The cases give the checks above something to look at: every painter draws in both passes
// in every case but at most one (a screen-space ring about X or Y stands edge-on to the
// screen, whatever the node's turn).
TEST(PainterContractCases, DrawEveryPainterInAllButAtMostOne) {
    std::map<std::string, std::size_t> drawn;
    for (const Contract& contract : contracts()) {
        Painting p(contract);
        ASSERT_TRUE(p.painter) << contract.painter.type;
        drawn[contract.painter.type] +=
            p.drawn(MO_OGLContext::NormalRender) > 0 && p.drawn(MO_OGLContext::PickingRender) > 0;
    }
    for (const auto& [type, cases] : drawn)
        EXPECT_GE(cases + 1, kCases.size()) << type;
}
