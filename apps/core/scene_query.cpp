#include "apps/core/scene_query.h"

#include "host/base/MSG_Scope.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/LXTimedValue.h"
#include "host/scene/MO_Node.h"
#include "host/scene/SC_SceneCommon.h"

#include <map>

namespace runner {

namespace {

// "attr" or "attr.x" of the node `nodeName` names.
AT_Attr* attributeAt(const MO_Node* node, const std::string& nodeName, const std::string& path) {
    const auto [name, component] = splitAttributePath(path);
    AT_Attr* attr = node->attribute(QString::fromStdString(name));
    const int index = attributeComponent(nodeName, name, attr ? kindOf(*attr) : nullptr, component,
                                         nodeName + "." + name);
    return index < 0 ? attr : static_cast<AT_ComplexAttr*>(attr)->component(static_cast<std::size_t>(index));
}

Json numbers(const std::vector<double>& values) {
    Json out = Json::array();
    for (double v : values)
        out.push_back(number(v));
    return out;
}

std::string shapeOf(const AT_Attr* attr) {
    if (const auto* c = dynamic_cast<const AT_ComplexAttr*>(attr))
        return "a list of " + std::to_string(c->componentCount()) + " numbers";
    if (dynamic_cast<const AT_BoolAttr*>(attr))
        return "true or false";
    if (dynamic_cast<const AT_StringAttr*>(attr))
        return "a string";
    return "a number";
}

}  // namespace

std::pair<std::string, std::optional<std::string>> splitAttributePath(const std::string& text) {
    const auto dot = text.find('.');
    if (dot == std::string::npos)
        return {text, std::nullopt};
    return {text.substr(0, dot), text.substr(dot + 1)};
}

int attributeComponent(const std::string& nodeName, const std::string& attribute, const AttributeKindInfo* kind,
                       const std::optional<std::string>& component, const std::string& shown) {
    if (!kind)
        throw RunError("", "node " + quote(nodeName) + " has no attribute " + quote(attribute));
    if (!component)
        return -1;
    if (!kind->compound)
        throw RunError("", "attribute " + quote(shown) + " has no components");
    for (std::size_t i = 0; i < kind->numbers; ++i)
        if (*component == kComponentNames[i])
            return static_cast<int>(i);
    throw RunError("", "attribute " + quote(shown) + " has no component " + quote(*component));
}

const AttributeKindInfo* kindOf(const AT_Attr& attribute) {
    return attributeKindNamed(attribute.typeName().toStdString());
}

Target resolve(const SC_SceneCommon& scene, const std::string& path) {
    const std::string usage = std::string(" (expected node.attr, node.attr.x, node.") + kMatrixWord + " or node." +
                              kKeysWord + ".attr)";
    const auto dot = path.find('.');
    if (dot == std::string::npos)
        throw RunError("", quote(path) + " names no value" + usage);
    const std::string nodeName = path.substr(0, dot);
    const std::string rest = path.substr(dot + 1);
    Target t;
    t.node = scene.findNode(QString::fromStdString(nodeName));
    if (!t.node)
        throw RunError("", "unknown node " + quote(nodeName) + " in " + quote(path));
    if (rest == kMatrixWord) {
        t.kind = Target::Kind::Matrix;
        return t;
    }
    const std::string keysPrefix = std::string(kKeysWord) + ".";
    if (rest == kKeysWord)
        throw RunError("", quote(path) + " names no value" + usage);
    if (rest.rfind(keysPrefix, 0) == 0) {
        t.kind = Target::Kind::Keys;
        t.attribute = attributeAt(t.node, nodeName, rest.substr(keysPrefix.size()));
        return t;
    }
    t.attribute = attributeAt(t.node, nodeName, rest);
    return t;
}

Json read(const Target& target, double frame) {
    if (target.kind == Target::Kind::Keys)
        return readKeys(target.attribute);
    if (target.kind == Target::Kind::Matrix) {
        const Math::Matrix4x4 m = target.node->worldMatrix(MO_FrameKey(frame));
        Json out = Json::array();
        for (int row = 0; row < 4; ++row)
            for (int col = 0; col < 4; ++col)
                out.push_back(number(m(row, col)));
        return out;
    }
    // The typed queries report an attached surrogate's value, as the viewport sees it.
    AT_Attr* a = target.attribute;
    if (const auto* d = dynamic_cast<const AT_DoubleAttr*>(a))
        return number(d->valueAt(frame));
    if (const auto* b = dynamic_cast<const AT_BoolAttr*>(a))
        return b->value(frame);
    if (const auto* s = dynamic_cast<const AT_StringAttr*>(a))
        return s->value(frame).toStdString();
    if (const auto* p = dynamic_cast<const AT_Position2dAttr*>(a)) {
        Math::Point2d v;
        p->getValue(frame, v);
        return numbers({v.x, v.y});
    }
    if (const auto* p = dynamic_cast<const AT_Position3dAttr*>(a)) {
        Math::Point3d v;
        p->getValue(frame, v);
        return numbers({v.x, v.y, v.z});
    }
    if (const auto* r = dynamic_cast<const AT_Rotation3dAttr*>(a)) {
        Math::Angle3d v;
        r->getValue(frame, v);
        return numbers({v.x, v.y, v.z});
    }
    if (const auto* s = dynamic_cast<const AT_Scale3dAttr*>(a)) {
        double x = 1.0, y = 1.0, z = 1.0;
        s->getValue(frame, x, y, z);
        return numbers({x, y, z});
    }
    if (const auto* c = dynamic_cast<const AT_ComplexAttr*>(a))
        return numbers(c->valuesAt(frame));
    throw RunError("", "attribute " + quote(a->name().toStdString()) + " of type " +
                           quote(a->typeName().toStdString()) + " cannot be read");
}

std::vector<std::pair<std::string, Json>> readAttributes(MO_Node* node, double frame) {
    std::vector<std::pair<std::string, Json>> out;
    for (const auto& attribute : node->attributes()) {
        try {
            out.emplace_back(attribute->name().toStdString(), read({Target::Kind::Value, node, attribute.get()}, frame));
        } catch (const RunError&) {
            // An attribute no scene file makes can be neither checked nor replayed by one.
        }
    }
    return out;
}

Json readKeys(AT_Attr* attribute) {
    Json out = Json::array();
    if (const auto* d = dynamic_cast<const AT_DoubleAttr*>(attribute)) {
        if (const LXTimedValue* tv = d->timedValue())
            for (const auto& [frame, value] : tv->keys())
                out.push_back(Json::array({number(frame), number(value)}));
        return out;
    }
    if (const auto* c = dynamic_cast<const AT_ComplexAttr*>(attribute)) {
        std::map<double, bool> frames;
        for (std::size_t i = 0; i < c->componentCount(); ++i)
            if (const LXTimedValue* tv = c->component(i)->timedValue())
                for (const auto& key : tv->keys())
                    frames[key.first] = true;
        for (const auto& f : frames)
            out.push_back(Json::array({number(f.first), numbers(c->valuesAt(f.first))}));
        return out;
    }
    if (auto* b = dynamic_cast<AT_BoolAttr*>(attribute)) {
        for (const auto& [frame, value] : b->stepped().keys())
            out.push_back(Json::array({number(frame), value}));
        return out;
    }
    if (auto* s = dynamic_cast<AT_StringAttr*>(attribute)) {
        for (const auto& [frame, value] : s->stepped().keys())
            out.push_back(Json::array({number(frame), value.toStdString()}));
        return out;
    }
    return out;
}

bool write(const Target& target, double frame, const Json& value) {
    if (target.kind != Target::Kind::Value)
        throw RunError("", std::string("the ") + (target.kind == Target::Kind::Matrix ? "matrix" : "keys") +
                               " cannot be set; set an attribute instead");
    AT_Attr* a = target.attribute;
    const auto wrongShape = [&] {
        return RunError(
            "", "attribute " + quote(a->name().toStdString()) + " takes " + shapeOf(a) + ", not " + describe(value));
    };
    bool accepted = false;
    std::vector<AT_DoubleAttr*> scalars;
    if (auto* d = dynamic_cast<AT_DoubleAttr*>(a)) {
        if (!value.is_number())
            throw wrongShape();
        accepted = d->setValue(frame, requireNumber(value, ""), false, false);
        scalars.push_back(d);
    } else if (auto* c = dynamic_cast<AT_ComplexAttr*>(a)) {
        if (!value.is_array() || value.size() != c->componentCount())
            throw wrongShape();
        std::vector<double> values;
        for (const Json& v : value) {
            if (!v.is_number())
                throw wrongShape();
            values.push_back(requireNumber(v, ""));
        }
        accepted = c->setValues(frame, values, false, false);
        for (std::size_t i = 0; i < c->componentCount(); ++i)
            scalars.push_back(c->component(i));
    } else if (auto* b = dynamic_cast<AT_BoolAttr*>(a)) {
        if (!value.is_boolean())
            throw wrongShape();
        accepted = b->setValue(frame, value.get<bool>());
    } else if (auto* s = dynamic_cast<AT_StringAttr*>(a)) {
        if (!value.is_string())
            throw wrongShape();
        accepted = s->setValue(frame, QString::fromStdString(value.get<std::string>()));
    } else {
        throw RunError("", "attribute " + quote(a->name().toStdString()) + " cannot be set");
    }
    if (!accepted)
        return false;
    // An edit is complete: curves count it, and whoever watches the node hears of it.
    for (AT_DoubleAttr* d : scalars)
        if (LXTimedValue* tv = d->timedValue())
            tv->endModif(frame);
    if (a->meta().isNodeDirtyOnChange()) {
        target.node->setDirty();
        target.node->sceneCommon()->changeManager().emitNodeChanged(target.node);
    }
    return true;
}

Json messages() {
    Json out = Json::array();
    for (const MSG_Entry& e : MSG_Log::instance().entries())
        out.push_back(e.text().toStdString());
    return out;
}

}  // namespace runner
