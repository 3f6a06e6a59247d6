#pragma once

// What the fuzz targets share: the plug-in loaded once, as the host loads it, and the
// pieces of a scene built from fuzzed choices (property values, attributes of every kind,
// curves of every kind).

#include "fuzz/fuzz_input.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/MO_Node.h"
#include "host/scene/MO_PropertyAccessor.h"
#include "host/scene/SC_SceneCommon.h"

#include <QString>

#include <vector>

namespace fuzz {

// Loads the plug-in beside the program (or the one RIGKIT_PLUGIN names) the first time;
// aborts when it cannot, since no input can be tried without it.
void loadPluginOnce();

// A property value of any kind; lists may be empty or long.
MO_PropertyValue propertyValue(Input& in);
// A key the components read, or now and then any text.
QString propertyKey(Input& in);
// Up to `maxEntries` fuzzed entries into `bag`.
void fillProperties(Input& in, MO_PropertyBag& bag, int maxEntries);

// Curve kinds a scalar attribute can be given; the last leaves it unkeyed.
enum class CurveKind { Bezier, FlatBezier, Ease, VeloBased, Fnc2d, Expr, Unkeyed };
constexpr int kCurveKinds = 7;

// Gives `attr` a curve of `kind` with up to `maxKeys` keys at distinct finite frames; the
// scene owns the curve.
void animate(Input& in, AT_DoubleAttr* attr, CurveKind kind, int maxKeys, SC_SceneCommon& scene);

// One attribute of each kind, named after it ("double", "bool", "string", "position2d",
// "position3d", "rotation3d", "scale3d"), plus a second "double2" and "position2d2", with
// fuzzed local values (finite or not, as `finiteOnly` says) and fuzzed curves.
struct Attributes {
    AT_DoubleAttr* scalar;
    AT_DoubleAttr* scalar2;
    AT_BoolAttr* boolean;
    AT_StringAttr* string;
    AT_Position2dAttr* position2d;
    AT_Position2dAttr* position2d2;
    AT_Position3dAttr* position3d;
    AT_Rotation3dAttr* rotation3d;
    AT_Scale3dAttr* scale3d;

    std::vector<AT_Attr*> all() const;
};
Attributes addAttributes(Input& in, MO_Node* node, SC_SceneCommon& scene, bool finiteOnly);

// The attributes a component is bound to: usually `fitting`, sometimes none, sometimes
// any mix of the node's attributes.
std::vector<AT_Attr*> bindAttributes(Input& in, const std::vector<AT_Attr*>& fitting, const Attributes& attributes);

}  // namespace fuzz
