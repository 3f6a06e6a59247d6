#include "fuzz/fuzz_support.h"

#include "apps/rigkit-run/plugin_loader.h"
#include "host/scene/LXTimedValue.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>

namespace fuzz {

void loadPluginOnce() {
    static const bool loaded = [] {
        const char* chosen = std::getenv("RIGKIT_PLUGIN");
        const std::string path = chosen ? chosen : runner::defaultPluginPath();
        const std::string failure = runner::loadPlugin(path);
        if (!failure.empty()) {
            std::fprintf(stderr, "%s\n", failure.c_str());
            std::abort();
        }
        return true;
    }();
    (void)loaded;
}

namespace {

const char* const kKeys[] = {
    "box_color",
    "color",
    "colorB",
    "contour_color",
    "cursorType",
    "drop_shadow",
    "enable_roll",
    "force_drag_start",
    "frame_color",
    "frame_selection_color",
    "horizontal",
    "inner_color",
    "label",
    "label_bg_color",
    "label_color",
    "label_font",
    "label_justify",
    "label_pos",
    "label_screenspace",
    "label_screenspace_offset",
    "label_size",
    "lasso_selection",
    "length",
    "line_width",
    "max",
    "min",
    "off_color",
    "on_color",
    "outer_color",
    "parentTransformationPortIndex",
    "picking_size",
    "picking_width",
    "point_style",
    "position",
    "radius",
    "relative",
    "screen_space",
    "selection_color",
    "show_grid_lines",
    "show_limits",
    "size",
    "slider_color",
    "slider_selection_color",
    "steps",
    "toggle",
    "useParentTransformation",
    "width",
    "xValues",
    "xmax",
    "xmin",
    "yValues",
    "ymax",
    "ymin",
};

const char* const kTexts[] = {
    "",
    "CIRCLE",
    "SQUARE",
    "CROSS",
    "left",
    "right",
    "center",
    "Arial",
    "DejaVu Sans",
    "text",
    "W\xcc\x81\xf0\x9f\x98\x80",
    "a\nb\tc",
};

}  // namespace

MO_PropertyValue propertyValue(Input& in) {
    switch (in.byte() % 6) {
        case 0:
            return in.number();
        case 1:
            return in.flag();
        case 2:
            return in.flag() ? QString::fromUtf8(in.pick(kTexts)) : QString::fromStdString(in.text(24));
        case 3: {
            // A huge list now and then: lists are read by index and counted.
            std::vector<double> list(in.flag() ? 4096 : 0, 1.0);
            const int n = in.between(0, 6);
            for (int i = 0; i < n; ++i)
                list.push_back(in.number());
            return list;
        }
        default: {
            // A point or a colour, the shapes most lists have.
            std::vector<double> list(in.flag() ? 2 : 4);
            for (double& v : list)
                v = in.number();
            return list;
        }
    }
}

QString propertyKey(Input& in) {
    if (in.byte() % 8 == 0)
        return QString::fromStdString(in.text(8));
    return QString::fromLatin1(in.pick(kKeys));
}

void fillProperties(Input& in, MO_PropertyBag& bag, int maxEntries) {
    const int n = in.between(0, maxEntries);
    for (int i = 0; i < n; ++i) {
        const QString key = propertyKey(in);
        bag.set(key, propertyValue(in));
    }
}

void animate(Input& in, AT_DoubleAttr* attr, CurveKind kind, int maxKeys, SC_SceneCommon& scene) {
    if (kind == CurveKind::Unkeyed || !attr->socket())
        return;
    const int n = in.between(0, maxKeys);
    std::vector<std::pair<double, double>> keys;
    std::set<double> frames;
    for (int i = 0; i < n; ++i) {
        const double frame = in.frame(1e6);
        if (frames.insert(frame).second)
            keys.emplace_back(frame, in.finite());
    }
    std::unique_ptr<LXTimedValue> tv;
    switch (kind) {
        case CurveKind::Expr:
            tv = std::make_unique<LXExprTimedValue>(keys);
            break;
        case CurveKind::Bezier:
        case CurveKind::FlatBezier:
            tv = std::make_unique<LXBezierTimedValue>(kind == CurveKind::FlatBezier);
            break;
        case CurveKind::Ease:
            tv = std::make_unique<LXEaseTimedValue>();
            break;
        case CurveKind::VeloBased:
            tv = std::make_unique<LXVeloBasedTimedValue>();
            break;
        default:
            tv = std::make_unique<LXFnc2DTimedValue>();
            break;
    }
    if (kind != CurveKind::Expr) {
        for (const auto& [frame, value] : keys) {
            LXCtrlPt p;
            p.frame = frame;
            p.value = value;
            p.constantSegment = in.byte() % 4 == 0;
            p.easeIn = in.between(0, 4) / 4.0;
            p.easeOut = in.between(0, 4) / 4.0;
            tv->controlPoints().insert(p);
        }
    }
    attr->socket()->link(tv.get());
    scene.addTimedValue(std::move(tv));
}

std::vector<AT_Attr*> Attributes::all() const {
    return {scalar, scalar2, boolean, string, position2d, position2d2, position3d, rotation3d, scale3d};
}

namespace {

double localValue(Input& in, bool finiteOnly) {
    return finiteOnly ? in.finite() : in.number();
}

void animateAll(Input& in, AT_ComplexAttr* attr, SC_SceneCommon& scene) {
    for (std::size_t c = 0; c < attr->componentCount(); ++c)
        animate(in, attr->component(c), static_cast<CurveKind>(in.between(0, kCurveKinds - 1)), 4, scene);
}

}  // namespace

Attributes addAttributes(Input& in, MO_Node* node, SC_SceneCommon& scene, bool finiteOnly) {
    const auto v = [&] { return localValue(in, finiteOnly); };
    const auto animatable = [&] { return in.byte() % 8 != 0; };
    Attributes a{};
    a.scalar = node->addAttribute(std::make_unique<AT_DoubleAttr>(node, "double", v(), animatable()));
    animate(in, a.scalar, static_cast<CurveKind>(in.between(0, kCurveKinds - 1)), 6, scene);
    a.scalar2 = node->addAttribute(std::make_unique<AT_DoubleAttr>(node, "double2", v(), animatable()));
    animate(in, a.scalar2, static_cast<CurveKind>(in.between(0, kCurveKinds - 1)), 6, scene);
    a.boolean = node->addAttribute(std::make_unique<AT_BoolAttr>(node, "bool", in.flag()));
    if (in.flag())
        a.boolean->stepped().addKey(in.frame(1e4), in.flag());
    a.string = node->addAttribute(std::make_unique<AT_StringAttr>(node, "string", QString::fromStdString(in.text(8))));
    a.position2d = node->addAttribute(
        std::make_unique<AT_Position2dAttr>(node, "position2d", Math::Point2d(v(), v()), animatable()));
    a.position2d2 = node->addAttribute(
        std::make_unique<AT_Position2dAttr>(node, "position2d2", Math::Point2d(v(), v()), animatable()));
    a.position3d = node->addAttribute(
        std::make_unique<AT_Position3dAttr>(node, "position3d", Math::Point3d(v(), v(), v()), animatable()));
    a.rotation3d = node->addAttribute(
        std::make_unique<AT_Rotation3dAttr>(node, "rotation3d", Math::Angle3d(v(), v(), v()), animatable()));
    a.scale3d = node->addAttribute(
        std::make_unique<AT_Scale3dAttr>(node, "scale3d", Math::Vector3d(v(), v(), v()), animatable()));
    for (AT_ComplexAttr* c : {static_cast<AT_ComplexAttr*>(a.position2d), static_cast<AT_ComplexAttr*>(a.position2d2),
                              static_cast<AT_ComplexAttr*>(a.position3d), static_cast<AT_ComplexAttr*>(a.rotation3d),
                              static_cast<AT_ComplexAttr*>(a.scale3d)})
        if (in.flag())
            animateAll(in, c, scene);
    return a;
}

std::vector<AT_Attr*> bindAttributes(Input& in, const std::vector<AT_Attr*>& fitting, const Attributes& attributes) {
    const std::uint8_t how = in.byte() % 8;
    if (how < 5)
        return fitting;
    if (how == 5)
        return {};
    std::vector<AT_Attr*> out;
    const std::vector<AT_Attr*> all = attributes.all();
    const int n = in.between(1, 4);
    for (int i = 0; i < n; ++i)
        out.push_back(all[static_cast<std::size_t>(in.between(0, static_cast<int>(all.size()) - 1))]);
    return out;
}

}  // namespace fuzz

#ifdef RIGKIT_LIBFUZZER
// libFuzzer looks for leaks after any input that allocated more than it freed. fontconfig
// keeps what its first match builds reachable only through offsets from a base, which
// LeakSanitizer cannot follow, so that memory looks lost while fontconfig still holds it
// (288 bytes, from the first lookup of a font in the process); FcFini frees it at exit,
// where the sanitizer builds of the tests, these replay drivers included, find no leak.
// Its frames carry no symbols and the fast unwinder stops inside the library, so the
// library is all a suppression can name.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so.1\n";
}
#endif
