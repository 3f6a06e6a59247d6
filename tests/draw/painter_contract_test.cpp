// What the renderer relies on from every painter, checked on every painter the plug-in
// registers: picking draws only the pick colour; GL state is left as it was found (but
// for what a painter's own GL calls leave by design); a paint is a pure function of its
// inputs, so two give the same pixels; and a paint in GL feedback mode, by which the
// renderer learns where a node draws, changes no pixel and nothing a later paint draws.

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

// ---- GL state, read back as named groups of numbers --------------------------------------

// Each query is read with glGetDoublev into room for a matrix filled with NaN, which keeps
// the values GL writes; the array pointers are read with glGetPointerv.
const std::vector<std::pair<std::string, std::vector<GLenum>>> kGlState = {
    // clang-format off
    {"capabilities",
     {GL_BLEND, GL_DEPTH_TEST, GL_CULL_FACE, GL_LIGHTING, GL_TEXTURE_2D, GL_SCISSOR_TEST, GL_ALPHA_TEST,
      GL_STENCIL_TEST, GL_LINE_SMOOTH, GL_POINT_SMOOTH, GL_POLYGON_SMOOTH, GL_MULTISAMPLE, GL_COLOR_LOGIC_OP,
      GL_DITHER, GL_LINE_STIPPLE, GL_POLYGON_STIPPLE, GL_POLYGON_OFFSET_FILL, GL_NORMALIZE, GL_COLOR_MATERIAL, GL_FOG}},
    // clang-format on
    {"blend function",
     {GL_BLEND_SRC_RGB, GL_BLEND_DST_RGB, GL_BLEND_SRC_ALPHA, GL_BLEND_DST_ALPHA, GL_BLEND_EQUATION_RGB,
      GL_BLEND_EQUATION_ALPHA}},
    {"current colour", {GL_CURRENT_COLOR}},
    {"line width and point size", {GL_LINE_WIDTH, GL_POINT_SIZE}},
    {"polygons", {GL_POLYGON_MODE, GL_CULL_FACE_MODE, GL_FRONT_FACE, GL_SHADE_MODEL}},
    {"depth and masks", {GL_DEPTH_FUNC, GL_DEPTH_WRITEMASK, GL_COLOR_WRITEMASK, GL_COLOR_CLEAR_VALUE}},
    {"viewport and scissor box", {GL_VIEWPORT, GL_SCISSOR_BOX}},
    {"matrix mode and stacks",
     {GL_MATRIX_MODE, GL_MODELVIEW_STACK_DEPTH, GL_PROJECTION_STACK_DEPTH, GL_TEXTURE_STACK_DEPTH,
      GL_ATTRIB_STACK_DEPTH, GL_CLIENT_ATTRIB_STACK_DEPTH}},
    {"modelview matrix", {GL_MODELVIEW_MATRIX}},
    {"projection matrix", {GL_PROJECTION_MATRIX}},
    {"texture matrix", {GL_TEXTURE_MATRIX}},
    {"client arrays", {GL_COLOR_ARRAY, GL_NORMAL_ARRAY, GL_TEXTURE_COORD_ARRAY}},
    {"vertex array", {GL_VERTEX_ARRAY}},
    {"vertex array pointer",
     {GL_VERTEX_ARRAY_SIZE, GL_VERTEX_ARRAY_TYPE, GL_VERTEX_ARRAY_STRIDE, GL_VERTEX_ARRAY_BUFFER_BINDING,
      GL_VERTEX_ARRAY_POINTER}},
    {"colour array pointer",
     {GL_COLOR_ARRAY_SIZE, GL_COLOR_ARRAY_TYPE, GL_COLOR_ARRAY_STRIDE, GL_COLOR_ARRAY_BUFFER_BINDING,
      GL_COLOR_ARRAY_POINTER}},
    {"bindings",
     {GL_ARRAY_BUFFER_BINDING, GL_TEXTURE_BINDING_2D, GL_CURRENT_PROGRAM, GL_DRAW_FRAMEBUFFER_BINDING,
      GL_UNPACK_ALIGNMENT, GL_PACK_ALIGNMENT}},
    {"render mode", {GL_RENDER_MODE}},
};

using GlState = std::vector<std::vector<double>>;

GlState readGlState() {
    GlState state;
    for (const auto& [name, queries] : kGlState) {
        std::vector<double>& values = state.emplace_back();
        for (GLenum what : queries) {
            std::array<GLdouble, 16> v;
            v.fill(std::nan(""));
            if (what == GL_VERTEX_ARRAY_POINTER || what == GL_COLOR_ARRAY_POINTER)
                v[0] = double(reinterpret_cast<std::uintptr_t>(glPointer(what)));
            else
                glGetDoublev(what, v.data());
            values.insert(values.end(), v.begin(),
                          std::find_if(v.begin(), v.end(), [](double x) { return std::isnan(x); }));
        }
    }
    // Last, so that it also tells of the reads.
    state.push_back({double(glGetError())});
    return state;
}

// GL keeps matrices in single precision, and a turn undone is back only up to rounding.
bool same(const std::string& name, const std::vector<double>& a, const std::vector<double>& b) {
    if (a.size() != b.size())
        return false;
    const bool matrix = name.find("matrix") != std::string::npos;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (matrix ? std::abs(a[i] - b[i]) > 1e-5 * std::max(1.0, std::abs(a[i])) : a[i] != b[i])
            return false;
    return true;
}

std::string print(const std::vector<double>& values) {
    std::string out;
    for (double v : values)
        out += (out.empty() ? "" : " ") + std::to_string(v);
    return out;
}

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
    explicit Painting(const Contract& contract) {
        for (const auto& [key, value] : contract.properties->properties)
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
