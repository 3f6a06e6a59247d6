#include "apps/core/scene_loader.h"

#include "apps/core/document_dom.h"

#include "host/scene/AT_Attr.h"
#include "host/scene/LXTimedValue.h"
#include "host/scene/MO_Node.h"
#include "host/scene/factories.h"

#include <unordered_map>

namespace runner {

namespace {

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

// The words a file repeats node after node (type strings, attribute names, property keys),
// each made a QString once: the nodes share its text, as Qt's strings do when copied.
class Words {
public:
    const QString& operator()(const std::string& word) {
        auto it = m_words.find(word);
        if (it == m_words.end())
            it = m_words.emplace(word, qs(word)).first;
        return it->second;
    }

private:
    std::unordered_map<std::string, QString> m_words;
};

// Each type string's entry in a factory, found once: a file names a few types many times,
// and a factory finds a name by comparing it with others.
template <class Factory>
class Entries {
public:
    using Entry = typename Factory::Entry;
    explicit Entries(const Factory& factory) : m_factory(factory) {}
    const Entry* operator()(const std::string& type, Words& words) {
        auto it = m_found.find(type);
        if (it == m_found.end())
            it = m_found.emplace(type, m_factory.find(words(type))).first;
        return it->second;
    }

private:
    const Factory& m_factory;
    std::unordered_map<std::string, const Entry*> m_found;
};

// What building one node after another keeps from one to the next.
struct Builder {
    Words words;
    Entries<MO_LocalTransformationFactory> transformations{MO_LocalTransformationFactorySingleton()};
    Entries<MO_OGLPainterFactory> painters{MO_OGLPainterFactorySingleton()};
    Entries<SLB_SelectableDragManipulatorFactory> manipulators{SLB_SelectableDragManipulatorFactorySingleton()};
    Entries<SLB_PickAdaptorFactory> pickers{SLB_PickAdaptorFactorySingleton()};
    // The list of a component's attributes, whose room serves every component in turn.
    std::vector<AT_Attr*> bound;
};

// ---- attributes ----------------------------------------------------------------------

std::unique_ptr<LXTimedValue> makeCurve(CurveKind kind, const std::vector<std::pair<double, double>>& keys) {
    std::unique_ptr<LXTimedValue> tv;
    switch (kind) {
        case CurveKind::Expr:
            return std::make_unique<LXExprTimedValue>(keys);
        case CurveKind::Bezier:
            tv = std::make_unique<LXBezierTimedValue>();
            break;
        case CurveKind::Ease:
            tv = std::make_unique<LXEaseTimedValue>();
            break;
        case CurveKind::VeloBased:
            tv = std::make_unique<LXVeloBasedTimedValue>();
            break;
        case CurveKind::Fnc2d:
            tv = std::make_unique<LXFnc2DTimedValue>();
            break;
    }
    for (const auto& [frame, value] : keys) {
        LXCtrlPt p;
        p.frame = frame;
        p.value = value;
        tv->controlPoints().insert(p);
    }
    return tv;
}

// The keys of one number of the attribute's values: the value itself (-1) or a component's.
std::vector<std::pair<double, double>> numbersOf(const std::vector<Key>& keys, int component) {
    std::vector<std::pair<double, double>> out;
    out.reserve(keys.size());
    for (const Key& k : keys)
        out.emplace_back(k.frame, component < 0 ? std::get<double>(k.value)
                                                : std::get<std::vector<double>>(k.value)[component]);
    return out;
}

// The scene owns the curve; the attribute's socket points at it.
void animate(AT_DoubleAttr* attr, CurveKind kind, const std::vector<std::pair<double, double>>& keys,
             SC_SceneCommon& scene) {
    std::unique_ptr<LXTimedValue> tv = makeCurve(kind, keys);
    attr->socket()->link(tv.get());
    scene.addTimedValue(std::move(tv));
}

std::unique_ptr<AT_ComplexAttr> makeCompound(MO_Node* node, const QString& name, AttributeKind kind,
                                             const std::vector<double>& v, bool animatable) {
    switch (kind) {
        case AttributeKind::Position2d:
            return std::make_unique<AT_Position2dAttr>(node, name, Math::Point2d(v[0], v[1]), animatable);
        case AttributeKind::Position3d:
            return std::make_unique<AT_Position3dAttr>(node, name, Math::Point3d(v[0], v[1], v[2]), animatable);
        case AttributeKind::Rotation3d:
            return std::make_unique<AT_Rotation3dAttr>(node, name, Math::Angle3d(v[0], v[1], v[2]), animatable);
        default:
            return std::make_unique<AT_Scale3dAttr>(node, name, Math::Vector3d(v[0], v[1], v[2]), animatable);
    }
}

template <class T, class Convert>
void addSteppedKeys(AT_SteppedValue<T>& stepped, const std::vector<Key>& keys, Convert convert) {
    for (const Key& k : keys)
        stepped.addKey(k.frame, convert(k.value));
}

void addAttribute(MO_Node* node, const Attribute& a, SC_SceneCommon& scene, Words& words) {
    const QString& name = words(a.name);
    switch (a.kind) {
        case AttributeKind::Double: {
            auto* attr =
                node->addAttribute(std::make_unique<AT_DoubleAttr>(node, name, std::get<double>(a.value), a.animatable));
            if (a.curve)
                animate(attr, *a.curve, numbersOf(a.keys, -1), scene);
            return;
        }
        case AttributeKind::Bool: {
            auto* attr = node->addAttribute(std::make_unique<AT_BoolAttr>(node, name, std::get<bool>(a.value)));
            addSteppedKeys(attr->stepped(), a.keys, [](const Value& v) { return std::get<bool>(v); });
            return;
        }
        case AttributeKind::String: {
            auto* attr = node->addAttribute(std::make_unique<AT_StringAttr>(node, name, qs(std::get<std::string>(a.value))));
            addSteppedKeys(attr->stepped(), a.keys, [](const Value& v) { return qs(std::get<std::string>(v)); });
            return;
        }
        default: {
            auto* attr = node->addAttribute(
                makeCompound(node, name, a.kind, std::get<std::vector<double>>(a.value), a.animatable));
            // Each component animates on its own: one curve of the same kind per component.
            if (a.curve)
                for (std::size_t c = 0; c < attr->componentCount(); ++c)
                    animate(attr->component(c), *a.curve, numbersOf(a.keys, static_cast<int>(c)), scene);
        }
    }
}

// ---- components ----------------------------------------------------------------------

// The attributes a component is bound to, in place of those of the one before.
template <class Data>
Data& bind(Data& data, const MO_Node* node, const Component& c) {
    std::vector<AT_Attr*>& out = data.attributes;
    out.clear();
    for (const Binding& b : c.attributes) {
        AT_Attr* attr = node->attributes()[b.attribute].get();
        if (b.component >= 0)
            attr = static_cast<AT_ComplexAttr*>(attr)->component(static_cast<std::size_t>(b.component));
        out.push_back(attr);
    }
    return data;
}

// `path` gives where the component is in the file, spelt out only for a message.
template <class Factory, class PathOf>
std::unique_ptr<typename Factory::Product> build(Entries<Factory>& entries, Words& words, const char* family,
                                                 const Component& c, const typename Factory::Data& data,
                                                 const PathOf& path) {
    const auto* entry = entries(c.type, words);
    if (!entry)
        throw RunError(path(), std::string("unknown ") + family + " type " + quote(c.type));
    // What the factory's create() does once it has found the entry.
    std::unique_ptr<typename Factory::Product> made(entry->createDynamic ? entry->createDynamic(data) : nullptr);
    if (!made) {
        Json written = Json::array();
        for (const Binding& b : c.attributes)
            written.push_back(b.path);
        throw RunError(path(), std::string(family) + " " + quote(c.type) + " cannot be built from attributes " +
                                   show(written));
    }
    return made;
}

void addComponents(MO_Module* module, const Node& n, std::size_t index, Builder& b) {
    const auto node = [index] { return element("nodes", index); };
    const auto in = [&](const char* key, std::size_t i) { return [=] { return element(member(node(), key), i); }; };
    // After the properties: the components' constructors read them.
    MO_ComponentData data{module->properties(), std::move(b.bound)};
    for (std::size_t i = 0; i < n.transformations.size(); ++i) {
        const Component& c = n.transformations[i];
        module->addLocalTransformation(build(b.transformations, b.words, "local transformation", c,
                                             bind(data, module, c), in("transformations", i)));
    }
    for (std::size_t i = 0; i < n.painters.size(); ++i) {
        const Component& c = n.painters[i];
        module->addPainter(
            build(b.painters, b.words, "OpenGL painter", c, bind(data, module, c), in("painters", i)));
    }
    if (const auto& c = n.manipulator)
        module->setManipulator(build(b.manipulators, b.words, "drag manipulator", *c, bind(data, module, *c),
                                     [&] { return member(node(), "manipulator"); }));
    if (const auto& c = n.picker) {
        SLB_PickAdaptorData pick{data.properties, std::move(data.attributes), module, c->subSelectionIndex};
        module->setPickAdaptor(build(b.pickers, b.words, "pick adaptor", *c, bind(pick, module, *c),
                                     [&] { return member(node(), "picker"); }));
        data.attributes = std::move(pick.attributes);
    }
    b.bound = std::move(data.attributes);
}

void buildNode(const Node& n, std::size_t index, SC_SceneCommon& scene, Builder& b) {
    MO_Node* parent = n.parent ? scene.findNode(qs(*n.parent)) : nullptr;
    // Every node is a module, so that pick adaptors have one to select.
    auto* module = static_cast<MO_Module*>(scene.addNode(std::make_unique<MO_Module>(&scene, qs(n.name))));
    module->setParent(parent);
    for (const auto& port : n.ports)
        module->addInPort(port ? scene.findNode(qs(*port)) : nullptr);
    for (const Attribute& a : n.attributes)
        addAttribute(module, a, scene, b.words);
    for (const auto& [key, value] : n.properties)
        module->propertiesForSetup().set(b.words(key), propertyValue(value));
    addComponents(module, n, index, b);
}

}  // namespace

void buildNode(const Node& n, std::size_t index, SC_SceneCommon& scene) {
    Builder b;
    buildNode(n, index, scene, b);
}

MO_PropertyValue propertyValue(const Value& value) {
    if (const auto* s = std::get_if<std::string>(&value))
        return qs(*s);
    if (const auto* d = std::get_if<double>(&value))
        return *d;
    if (const auto* b = std::get_if<bool>(&value))
        return *b;
    return std::get<std::vector<double>>(value);
}

MO_PropertyValue propertyValue(const Json& v, const std::string& path) {
    return propertyValue(readPropertyValue(v, path));
}

std::unique_ptr<AT_Attr> makeAttribute(MO_Node* node, const QString& name, AttributeKind kind) {
    const AttributeKindInfo& info = attributeKind(kind);
    switch (kind) {
        case AttributeKind::Double:
            return std::make_unique<AT_DoubleAttr>(node, name, info.unset);
        case AttributeKind::Bool:
            return std::make_unique<AT_BoolAttr>(node, name, false);
        case AttributeKind::String:
            return std::make_unique<AT_StringAttr>(node, name, QString());
        default:
            return makeCompound(node, name, kind, std::vector<double>(info.numbers, info.unset), true);
    }
}

Scene emptyScene(const Document& document) {
    Scene scene;
    scene.width = document.width;
    scene.height = document.height;
    scene.camera = document.camera;
    scene.background = document.background;
    scene.dpiScale = document.dpiScale;
    scene.samples = document.samples;
    scene.script = document.script;
    if (const auto& s = document.unitScale)
        scene.common->metrics().setUnitScales((*s)[0], (*s)[1], (*s)[2]);
    return scene;
}

Scene buildScene(const Document& document) {
    Scene scene = emptyScene(document);
    scene.common->reserveNodes(document.nodes.size());
    Builder b;
    for (std::size_t i = 0; i < document.nodes.size(); ++i)
        buildNode(document.nodes[i], i, *scene.common, b);
    if (const std::shared_ptr<const std::string> text = document.sourceText)
        scene.opened = [text] { return readDocumentText(*text); };
    return scene;
}

namespace {

// Each node is built as soon as it is read: the file is never held twice.
template <class J>
Scene loadSceneOf(const J& json) {
    Scene scene = emptyScene(readSettings(json));
    if (json.contains("nodes") && json["nodes"].is_array())
        scene.common->reserveNodes(json["nodes"].size());
    Builder b;
    readNodes(json, [&](Node&& node, std::size_t index) { buildNode(node, index, *scene.common, b); });
    scene.script = readScript(json);
    return scene;
}

}  // namespace

Scene loadScene(const Json& json) {
    Scene scene = loadSceneOf(json);
    scene.opened = [kept = std::make_shared<const Json>(json)] { return readDocument(*kept); };
    return scene;
}

namespace {

Scene loadSceneFileOnce(const std::string& file) {
    try {
        simdjson::dom::parser parser;
        // The parser holds what it read; the text is let go before the scene is built.
        if (const std::optional<DomValue> root = parseFileQuickly(parser, file))
            return loadSceneOf(*root);
    } catch (const std::exception&) {
        // Read again below, the careful way, so that the message is the one it gives.
    }
    return loadScene(readDocumentFile(file));
}

}  // namespace

Scene loadSceneFile(const std::string& file) {
    Scene scene = loadSceneFileOnce(file);
    scene.opened = [file] { return readDocumentText(readFileText(file)); };
    return scene;
}

Math::CameraTransformChain cameraChain(const Camera& c, int width, int height) {
    if (c.kind == Camera::Kind::Perspective)
        return Math::CameraTransformChain::perspective(width, height, c.eye, c.target, c.up, c.fovy);
    return Math::CameraTransformChain::orthographic(width, height, c.center, c.pixelsPerUnit);
}

}  // namespace runner
