#include "apps/core/describe.h"

#include "apps/core/scene_loader.h"
#include "apps/core/vocabulary.h"

#include "host/scene/AT_Attr.h"
#include "host/scene/MO_Node.h"
#include "host/scene/MO_PropertyAccessor.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/scene/components.h"
#include "host/scene/factories.h"

#include <cxxabi.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <typeinfo>

namespace runner {

namespace {

// ---- what a component asks of its properties ------------------------------------------

struct Read {
    std::string key;
    // Empty while the component has only asked whether the key is there.
    std::string kind;
    Json def;
    bool presence = false;
};

// Notes each read and answers from `bag`, which is empty unless a property is set on
// purpose to see what changes with it; an undefined key yields the default, as a node's
// own properties do.
class RecordingAccessor : public MO_PropertyAccessor {
public:
    explicit RecordingAccessor(const MO_PropertyBag& bag) : m_bag(bag) {}

    Math::Point2d getPoint(const QString& k, const Math::Point2d& d, bool* f) const override {
        note(k, "point", Json::array({d.x, d.y}));
        return m_bag.getPoint(k, d, f);
    }
    VS_RGBA getColor(const QString& k, const VS_RGBA& d, bool* f) const override {
        note(k, "color", Json::array({int(d.r), int(d.g), int(d.b), int(d.a)}));
        return m_bag.getColor(k, d, f);
    }
    QString getString(const QString& k, const QString& d, bool* f) const override {
        note(k, "string", d.toStdString());
        return m_bag.getString(k, d, f);
    }
    double getDouble(const QString& k, double d, int index) const override {
        // Elements of a list come after its count, which already named the key a list.
        note(k, "number", number(d));
        return m_bag.getDouble(k, d, index);
    }
    bool getBool(const QString& k, bool d, bool* f) const override {
        note(k, "boolean", d);
        return m_bag.getBool(k, d, f);
    }
    int getInt(const QString& k, int d, bool* f) const override {
        note(k, "integer", d);
        return m_bag.getInt(k, d, f);
    }
    bool hasProperty(const QString& k) const override {
        entry(k).presence = true;
        return m_bag.hasProperty(k);
    }
    int valueCount(const QString& k) const override {
        // A list the node does not define reads as empty.
        note(k, "list", Json::array());
        return m_bag.valueCount(k);
    }

    const std::vector<Read>& reads() const { return m_reads; }
    const Read* find(const std::string& key) const {
        for (const Read& r : m_reads)
            if (r.key == key)
                return &r;
        return nullptr;
    }

private:
    Read& entry(const QString& key) const {
        const std::string k = key.toStdString();
        for (Read& r : m_reads)
            if (r.key == k)
                return r;
        m_reads.push_back({k, {}, Json(), false});
        return m_reads.back();
    }
    // The first read of a key decides its kind and default: a second read is the same
    // value seen again (a list's elements, an update passing what it holds).
    void note(const QString& key, const char* kind, Json def) const {
        Read& r = entry(key);
        if (!r.kind.empty())
            return;
        r.kind = kind;
        r.def = std::move(def);
    }

    const MO_PropertyBag& m_bag;
    mutable std::vector<Read> m_reads;
};

// ---- a node with attributes of every kind ---------------------------------------------

constexpr std::size_t kKindCount = std::size(kAttributeKinds);

struct Rig {
    SC_SceneCommon scene;
    MO_Module* node = static_cast<MO_Module*>(scene.addNode(std::make_unique<MO_Module>(&scene, "describe")));
    // Two of each kind, so that a list may hold the same kind twice.
    AT_Attr* attributes[kKindCount][2] = {};

    Rig() {
        for (int copy = 0; copy < 2; ++copy)
            for (std::size_t k = 0; k < kKindCount; ++k)
                attributes[k][copy] = node->addAttribute(makeAttribute(
                    node, QString::fromLatin1(kAttributeKinds[k].name) + QString::number(copy), kAttributeKinds[k].kind));
    }

    // Kind indices to attributes; a kind's second use takes its second attribute.
    std::vector<AT_Attr*> list(const std::vector<std::size_t>& kinds) const {
        std::vector<AT_Attr*> out;
        int used[kKindCount] = {};
        for (std::size_t k : kinds)
            out.push_back(attributes[k][used[k]++ % 2]);
        return out;
    }
};

// ---- building through the factories ----------------------------------------------------

std::string demangle(const char* name) {
    int status = 0;
    char* plain = abi::__cxa_demangle(name, nullptr, nullptr, &status);
    std::string out = status == 0 && plain ? plain : name;
    std::free(plain);
    return out;
}

struct Built {
    bool made = false;
    std::string className;
    std::vector<Read> reads;
    // Null when the component is not told of property changes.
    std::unique_ptr<std::vector<Read>> updateReads;
};

struct Family {
    const char* name;
    std::function<std::vector<QString>()> names;
    std::function<Built(const QString& type, Rig& rig, const std::vector<AT_Attr*>& attributes,
                        const MO_PropertyBag& bag, bool withUpdate)>
        build;
};

template <class Product>
Built inspect(Product* made, const RecordingAccessor& recorder, const MO_PropertyBag& bag, bool withUpdate) {
    Built b;
    std::unique_ptr<Product> owned(made);
    if (!owned)
        return b;
    b.made = true;
    b.className = demangle(typeid(*owned).name());
    b.reads = recorder.reads();
    if (withUpdate)
        if (auto* listener = dynamic_cast<MO_PropertyChangeListener*>(owned.get())) {
            RecordingAccessor again(bag);
            listener->update(again);
            b.updateReads = std::make_unique<std::vector<Read>>(again.reads());
        }
    return b;
}

template <class Factory>
Family componentFamily(const char* name, const Factory& factory) {
    return {name, [&factory] { return factory.names(); },
            [&factory](const QString& type, Rig&, const std::vector<AT_Attr*>& attributes, const MO_PropertyBag& bag,
                       bool withUpdate) {
                RecordingAccessor recorder(bag);
                return inspect(factory.create(type, {recorder, attributes}), recorder, bag, withUpdate);
            }};
}

const std::vector<Family>& families() {
    static const std::vector<Family> all = {
        componentFamily("drag manipulator", SLB_SelectableDragManipulatorFactorySingleton()),
        componentFamily("local transformation", MO_LocalTransformationFactorySingleton()),
        componentFamily("OpenGL painter", MO_OGLPainterFactorySingleton()),
        // The host always hands a pick adaptor the node's module.
        {"pick adaptor", [] { return SLB_PickAdaptorFactorySingleton().names(); },
         [](const QString& type, Rig& rig, const std::vector<AT_Attr*>& attributes, const MO_PropertyBag& bag,
            bool withUpdate) {
             RecordingAccessor recorder(bag);
             return inspect(SLB_PickAdaptorFactorySingleton().create(type, {recorder, attributes, rig.node, 0}),
                            recorder, bag, withUpdate);
         }},
    };
    return all;
}

// ---- attributes ------------------------------------------------------------------------

Json kindNames(const std::vector<std::size_t>& kinds) {
    Json out = Json::array();
    for (std::size_t k : kinds)
        out.push_back(kAttributeKinds[k].name);
    return out;
}

std::string joined(const Json& list) {
    std::string out;
    for (const Json& item : list)
        out += (out.empty() ? "" : ", ") + (item.is_string() ? item.get<std::string>() : show(item));
    return out;
}

// One sentence out of the trials, for readers; tools have the lists.
std::string attributeSummary(bool none, const Json& one, const Json& two, const Json& three) {
    const std::size_t all = kKindCount;
    if (none && one.size() == all && two.size() == all * all)
        return "any attributes, or none";
    // A first attribute decides when every pair starting with an accepted kind is accepted
    // and no other pair is.
    bool firstDecides = !one.empty() && two.size() == one.size() * all;
    for (const Json& pair : two)
        firstDecides = firstDecides && std::find(one.begin(), one.end(), pair[0]) != one.end();
    std::string out;
    if (firstDecides) {
        out = one.size() == all ? "a first attribute of any kind" : "a first attribute of kind " + joined(one);
        out += "; later ones are ignored";
    } else if (one.empty() && !two.empty()) {
        std::string pairs;
        for (const Json& pair : two)
            pairs += (pairs.empty() ? "" : " or ") + std::string("[") + joined(pair) + "]";
        out = "exactly two attributes: " + pairs;
        if (!three.empty())
            out += ", or three starting so";
    } else {
        out = "one attribute of kind " + (one.empty() ? std::string("none") : joined(one)) + "; " +
              std::to_string(two.size()) + " pairs of kinds";
    }
    out += none ? "" : "; an empty list is refused";
    return out;
}

Json attributeTrials(const Family& family, const QString& type, Rig& rig, std::vector<AT_Attr*>& first) {
    const MO_PropertyBag empty;
    const auto accepts = [&](const std::vector<std::size_t>& kinds) {
        return family.build(type, rig, rig.list(kinds), empty, false).made;
    };
    bool chosen = false;
    const auto choose = [&](const std::vector<std::size_t>& kinds) {
        if (!chosen)
            first = rig.list(kinds);
        chosen = true;
    };
    const bool none = accepts({});
    if (none)
        choose({});
    Json one = Json::array(), two = Json::array(), three = Json::array();
    for (std::size_t a = 0; a < kKindCount; ++a)
        if (accepts({a})) {
            one.push_back(kAttributeKinds[a].name);
            choose({a});
        }
    for (std::size_t a = 0; a < kKindCount; ++a)
        for (std::size_t b = 0; b < kKindCount; ++b)
            if (accepts({a, b})) {
                two.push_back(kindNames({a, b}));
                choose({a, b});
                // A third attribute is only worth trying after a pair that alone decides.
                if (one.empty())
                    for (std::size_t c = 0; c < kKindCount; ++c)
                        if (accepts({a, b, c}))
                            three.push_back(kindNames({a, b, c}));
            }
    Json out = Json::object();
    out["none"] = none;
    out["one"] = one;
    out["two"] = two;
    out["three"] = three;
    out["summary"] = attributeSummary(none, one, two, three);
    return out;
}

// ---- properties and what their defaults depend on --------------------------------------

// A value of the key's kind unlike its default, to see what else moves with it.
MO_PropertyValue otherValue(const Read& r, Json& shown) {
    if (r.kind == "boolean") {
        shown = !r.def.get<bool>();
        return shown.get<bool>();
    }
    if (r.kind == "number" || r.kind == "integer") {
        const double d = r.def.get<double>();
        const double v = r.kind == "integer" ? d + 1.0 : d == 0.0 ? 0.75 : d * 0.5;
        shown = number(v);
        return v;
    }
    if (r.kind == "string") {
        shown = r.def.get<std::string>() + "_";
        return QString::fromStdString(shown.get<std::string>());
    }
    if (r.kind == "color") {
        std::vector<double> c;
        shown = Json::array();
        for (const Json& channel : r.def) {
            const int v = (channel.get<int>() + 64) % 256;
            c.push_back(v);
            shown.push_back(v);
        }
        return c;
    }
    if (r.kind == "point") {
        const std::vector<double> p = {r.def[0].get<double>() + 0.75, r.def[1].get<double>() + 0.75};
        shown = Json::array({p[0], p[1]});
        return p;
    }
    // A list, or a key only asked about.
    shown = r.kind == "list" ? Json::array({0.75}) : Json(0.75);
    return r.kind == "list" ? MO_PropertyValue(std::vector<double>{0.75}) : MO_PropertyValue(0.75);
}

// The key's own default, so that only its presence changes.
MO_PropertyValue sameValue(const Read& r) {
    if (r.kind == "boolean")
        return r.def.get<bool>();
    if (r.kind == "number" || r.kind == "integer")
        return r.def.get<double>();
    if (r.kind == "string")
        return QString::fromStdString(r.def.get<std::string>());
    if (r.kind == "color" || r.kind == "point" || r.kind == "list")
        return r.def.get<std::vector<double>>();
    return 0.0;
}

// Equal, allowing for a default that passed through single precision.
bool close(const Json& a, const Json& b) {
    if (a.is_number() && b.is_number()) {
        const double x = a.get<double>(), y = b.get<double>();
        return x == y || std::fabs(x - y) <= 1e-6 * std::max(std::fabs(x), std::fabs(y));
    }
    if (a.is_array() && b.is_array() && a.size() == b.size()) {
        for (std::size_t i = 0; i < a.size(); ++i)
            if (!close(a[i], b[i]))
                return false;
        return true;
    }
    return a == b;
}

Json propertyEntry(const Read& r) {
    Json p = Json::object();
    p["key"] = r.key;
    p["kind"] = r.kind.empty() ? Json() : Json(r.kind);
    p["default"] = r.def;
    p["presence"] = r.presence;
    return p;
}

Json describeProperties(const Family& family, const QString& type, Rig& rig, const std::vector<AT_Attr*>& attributes,
                        Json& update) {
    const MO_PropertyBag empty;
    const Built base = family.build(type, rig, attributes, empty, true);
    update = Json();
    if (base.updateReads) {
        update = Json::array();
        for (const Read& r : *base.updateReads)
            update.push_back(r.key);
    }
    Json properties = Json::array();
    for (const Read& r : base.reads)
        properties.push_back(propertyEntry(r));

    const auto findEntry = [&](const std::string& key) -> Json* {
        for (Json& p : properties)
            if (p["key"] == key)
                return &p;
        return nullptr;
    };
    const auto dependency = [](Json& entry) -> Json& {
        if (!entry.contains("dependsOn"))
            entry["dependsOn"] = Json::array();
        return entry["dependsOn"];
    };

    for (const Read& changed : base.reads) {
        // What changes when the node merely defines the key...
        std::unique_ptr<Built> present;
        if (changed.presence) {
            MO_PropertyBag bag;
            bag.set(QString::fromStdString(changed.key), sameValue(changed));
            present = std::make_unique<Built>(family.build(type, rig, attributes, bag, false));
        }
        // ...and when it holds another value.
        Json shown;
        MO_PropertyBag bag;
        bag.set(QString::fromStdString(changed.key), otherValue(changed, shown));
        const Built other = family.build(type, rig, attributes, bag, false);

        for (const Read& r : base.reads) {
            if (r.key == changed.key)
                continue;
            const Read* withPresence = nullptr;
            if (present)
                for (const Read& p : present->reads)
                    if (p.key == r.key)
                        withPresence = &p;
            const Read* withOther = nullptr;
            for (const Read& o : other.reads)
                if (o.key == r.key)
                    withOther = &o;
            Json* entry = findEntry(r.key);
            if (withPresence && !close(withPresence->def, r.def)) {
                dependency(*entry).push_back(
                    {{"property", changed.key}, {"when", "given"}, {"default", withPresence->def}});
                continue;
            }
            if (!withOther || close(withOther->def, r.def))
                continue;
            if (close(withOther->def, shown) && changed.kind != "boolean")
                dependency(*entry).push_back({{"property", changed.key}, {"sameAs", true}});
            else
                dependency(*entry).push_back({{"property", changed.key}, {"when", shown}, {"default", withOther->def}});
        }
        // Keys read only because of this one's value.
        for (const Read& o : other.reads) {
            if (findEntry(o.key) && !findEntry(o.key)->contains("onlyWhen"))
                continue;
            Json* entry = findEntry(o.key);
            if (!entry) {
                properties.push_back(propertyEntry(o));
                entry = &properties.back();
                (*entry)["onlyWhen"] = Json::array();
            }
            (*entry)["onlyWhen"].push_back({{"property", changed.key}, {"when", shown}});
        }
    }
    return properties;
}

// ---- text ---------------------------------------------------------------------------------

// The shortest text that reads back as the number; single-precision values, which some
// components keep, at single precision.
std::string formatNumber(double v) {
    char text[40];
    // %g would write 120 as 1.2e+02 at two digits.
    if (v == std::floor(v) && std::fabs(v) < 1e15) {
        std::snprintf(text, sizeof text, "%.0f", v == 0.0 ? 0.0 : v);
        return text;
    }
    const bool single = static_cast<double>(static_cast<float>(v)) == v;
    for (int precision = 1; precision <= 17; ++precision) {
        std::snprintf(text, sizeof text, "%.*g", precision, v);
        const double back = std::strtod(text, nullptr);
        if (back == v || (single && precision <= 9 && static_cast<float>(back) == static_cast<float>(v)))
            break;
    }
    return text;
}

std::string formatValue(const Json& v) {
    if (v.is_number())
        return formatNumber(v.get<double>());
    if (v.is_string())
        return quote(v.get<std::string>());
    if (v.is_array()) {
        std::string out;
        for (const Json& item : v)
            out += (out.empty() ? "" : ", ") + formatValue(item);
        return "[" + out + "]";
    }
    return show(v);
}

std::string condition(const Json& d) {
    if (d.value("sameAs", false))
        return "the value of " + d["property"].get<std::string>();
    const std::string when = d["when"] == "given" ? d["property"].get<std::string>() + " is given"
                                                  : d["property"].get<std::string>() + " is " + formatValue(d["when"]);
    return formatValue(d["default"]) + " when " + when;
}

}  // namespace

std::vector<std::string> unknownTypes(const std::vector<std::string>& types) {
    std::vector<std::string> unknown;
    for (const std::string& type : types) {
        bool known = false;
        for (const Family& f : families())
            for (const QString& name : f.names())
                known = known || name.toStdString() == type;
        if (!known)
            unknown.push_back(type);
    }
    return unknown;
}

Json describeComponents(const std::vector<std::string>& types) {
    Rig rig;
    Json out = Json::array();
    for (const Family& family : families()) {
        for (const QString& name : family.names()) {
            bool wanted = types.empty();
            for (const std::string& t : types)
                wanted = wanted || t == name.toStdString();
            if (!wanted)
                continue;
            std::vector<AT_Attr*> attributes;
            Json c = Json::object();
            c["type"] = name.toStdString();
            c["family"] = family.name;
            const Json accepted = attributeTrials(family, name, rig, attributes);
            c["class"] = family.build(name, rig, attributes, MO_PropertyBag(), false).className;
            c["attributes"] = accepted;
            Json update;
            c["properties"] = describeProperties(family, name, rig, attributes, update);
            c["update"] = update;
            out.push_back(std::move(c));
        }
    }
    return out;
}

void printDescription(const Json& description, std::ostream& out) {
    bool firstBlock = true;
    for (const Json& c : description) {
        if (!firstBlock)
            out << "\n";
        firstBlock = false;
        out << c["type"].get<std::string>() << " (" << c["family"].get<std::string>() << ")\n";
        out << "  class: " << c["class"].get<std::string>() << "\n";
        out << "  attributes: " << c["attributes"]["summary"].get<std::string>() << "\n";
        const Json& properties = c["properties"];
        if (properties.empty()) {
            out << "  properties: none read\n";
        } else {
            out << "  properties, in the order read:\n";
            for (const Json& p : properties) {
                std::string line = "    " + p["key"].get<std::string>() + ": ";
                line += p["kind"].is_null() ? std::string("asked whether given")
                                            : p["kind"].get<std::string>() + ", default " + formatValue(p["default"]);
                if (p["presence"].get<bool>() && !p["kind"].is_null())
                    line += "; asked whether given";
                for (const Json& d : p.value("dependsOn", Json::array()))
                    line += "; " + condition(d);
                for (const Json& w : p.value("onlyWhen", Json::array()))
                    line += "; read only when " + w["property"].get<std::string>() + " is " + formatValue(w["when"]);
                out << line << "\n";
            }
        }
        if (c["update"].is_null())
            out << "  on a property change: not told\n";
        else
            out << "  on a property change: re-reads " << (c["update"].empty() ? "nothing" : joined(c["update"]))
                << "\n";
    }
}

}  // namespace runner
