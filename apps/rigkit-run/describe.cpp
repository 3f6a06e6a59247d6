#include "apps/rigkit-run/describe.h"

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
#include <map>
#include <memory>
#include <typeinfo>

namespace runner {

namespace {

// ---- what a component asks of its properties ------------------------------------------

// One question a component asks of its properties: a read of a key's value, with the kind
// and default it reads with, or (kind empty) whether the node defines the key.
struct Call {
    std::string key;
    std::string kind;
    Json def;
};

// What the calls say of one key: the kind and default of its first read (empty while the
// component has only asked whether the key is there), and whether it asked that.
struct Read {
    std::string key;
    std::string kind;
    Json def;
    bool presence = false;
};

std::vector<Read> byKey(const std::vector<Call>& calls) {
    std::vector<Read> reads;
    for (const Call& c : calls) {
        auto it = std::find_if(reads.begin(), reads.end(), [&](const Read& r) { return r.key == c.key; });
        if (it == reads.end())
            it = reads.insert(reads.end(), {c.key, {}, Json(), false});
        if (c.kind.empty())
            it->presence = true;
        else if (it->kind.empty())
            it->kind = c.kind, it->def = c.def;
    }
    return reads;
}

// Notes each call, in order, and answers from `bag`, which is empty unless a property is
// set on purpose to see what changes with it; an undefined key yields the default, as a
// node's own properties do.
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
        // The elements of a list come right after its count, which is the list's read.
        if (m_calls.empty() || m_calls.back().key != k.toStdString() || m_calls.back().kind != "list")
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
        m_calls.push_back({k.toStdString(), {}, Json()});
        return m_bag.hasProperty(k);
    }
    int valueCount(const QString& k) const override {
        // A count asked again at once was a question whether the list is there, made
        // before reading it; a list the node does not define reads as empty.
        if (!m_calls.empty() && m_calls.back().key == k.toStdString() && m_calls.back().kind == "list")
            m_calls.back().kind.clear();
        note(k, "list", Json::array());
        return m_bag.valueCount(k);
    }

    const std::vector<Call>& calls() const { return m_calls; }

private:
    void note(const QString& key, const char* kind, Json def) const {
        m_calls.push_back({key.toStdString(), kind, std::move(def)});
    }

    const MO_PropertyBag& m_bag;
    mutable std::vector<Call> m_calls;
};

// The indices of the calls of `more` beyond those of the same key in `fewer`: the calls of
// one key line up in order, so these are the ones made only in `more`'s circumstances.
std::vector<std::size_t> extraCalls(const std::vector<Call>& more, const std::vector<Call>& fewer) {
    std::map<std::string, int> left;
    for (const Call& c : fewer)
        ++left[c.key];
    std::vector<std::size_t> extra;
    for (std::size_t i = 0; i < more.size(); ++i)
        if (left[more[i].key]-- <= 0)
            extra.push_back(i);
    return extra;
}

// ---- a node with attributes of every kind ---------------------------------------------

const char* const kAttributeKinds[] = {"double", "bool", "string", "position2d", "position3d", "rotation3d", "scale3d"};
constexpr std::size_t kKindCount = sizeof kAttributeKinds / sizeof *kAttributeKinds;

struct Rig {
    SC_SceneCommon scene;
    MO_Module* node = static_cast<MO_Module*>(scene.addNode(std::make_unique<MO_Module>(&scene, "describe")));
    // Two of each kind, so that a list may hold the same kind twice.
    AT_Attr* attributes[kKindCount][2] = {};

    Rig() {
        for (int copy = 0; copy < 2; ++copy) {
            const QString n = QString::number(copy);
            attributes[0][copy] = node->addAttribute(std::make_unique<AT_DoubleAttr>(node, "d" + n, 0.0));
            attributes[1][copy] = node->addAttribute(std::make_unique<AT_BoolAttr>(node, "b" + n, false));
            attributes[2][copy] = node->addAttribute(std::make_unique<AT_StringAttr>(node, "s" + n, QString()));
            attributes[3][copy] =
                node->addAttribute(std::make_unique<AT_Position2dAttr>(node, "p" + n, Math::Point2d(0, 0)));
            attributes[4][copy] =
                node->addAttribute(std::make_unique<AT_Position3dAttr>(node, "q" + n, Math::Point3d(0, 0, 0)));
            attributes[5][copy] = node->addAttribute(std::make_unique<AT_Rotation3dAttr>(node, "r" + n));
            attributes[6][copy] = node->addAttribute(std::make_unique<AT_Scale3dAttr>(node, "c" + n));
        }
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
    std::vector<Call> calls;
    std::vector<Read> reads;
    // What update asked, given the update bag; null when the component is not told of
    // property changes or no update bag was given.
    std::unique_ptr<std::vector<Call>> updateCalls;
};

struct Family {
    const char* name;
    std::function<std::vector<QString>()> names;
    // Builds from `bag`, then runs update with `updateBag` when there is one.
    std::function<Built(const QString& type, Rig& rig, const std::vector<AT_Attr*>& attributes,
                        const MO_PropertyBag& bag, const MO_PropertyBag* updateBag)>
        build;
};

template <class Product>
Built inspect(Product* made, const RecordingAccessor& recorder, const MO_PropertyBag* updateBag) {
    Built b;
    std::unique_ptr<Product> owned(made);
    if (!owned)
        return b;
    b.made = true;
    b.className = demangle(typeid(*owned).name());
    b.calls = recorder.calls();
    b.reads = byKey(b.calls);
    if (updateBag)
        if (auto* listener = dynamic_cast<MO_PropertyChangeListener*>(owned.get())) {
            RecordingAccessor again(*updateBag);
            listener->update(again);
            b.updateCalls = std::make_unique<std::vector<Call>>(again.calls());
        }
    return b;
}

template <class Factory>
Family componentFamily(const char* name, const Factory& factory) {
    return {name, [&factory] { return factory.names(); },
            [&factory](const QString& type, Rig&, const std::vector<AT_Attr*>& attributes, const MO_PropertyBag& bag,
                       const MO_PropertyBag* updateBag) {
                RecordingAccessor recorder(bag);
                return inspect(factory.create(type, {recorder, attributes}), recorder, updateBag);
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
            const MO_PropertyBag* updateBag) {
             RecordingAccessor recorder(bag);
             return inspect(SLB_PickAdaptorFactorySingleton().create(type, {recorder, attributes, rig.node, 0}),
                            recorder, updateBag);
         }},
    };
    return all;
}

// ---- attributes ------------------------------------------------------------------------

Json kindNames(const std::vector<std::size_t>& kinds) {
    Json out = Json::array();
    for (std::size_t k : kinds)
        out.push_back(kAttributeKinds[k]);
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
        return family.build(type, rig, rig.list(kinds), empty, nullptr).made;
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
            one.push_back(kAttributeKinds[a]);
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
    p["reads"] = Json::array();
    return p;
}

Json* findEntry(Json& properties, const std::string& key) {
    for (Json& p : properties)
        if (p["key"] == key)
            return &p;
    return nullptr;
}

// Adds each read among `calls` at `indices` to its key's entry, with `condition` (null for
// none) when it is made only then; a key that has no entry yet is read only then.
void addReads(Json& properties, const std::vector<Call>& calls, const std::vector<std::size_t>& indices,
              const Json& condition) {
    for (std::size_t i : indices) {
        const Call& c = calls[i];
        if (c.kind.empty())
            continue;
        Json* entry = findEntry(properties, c.key);
        if (!entry) {
            properties.push_back(propertyEntry({c.key, c.kind, c.def, false}));
            entry = &properties.back();
            (*entry)["onlyWhen"] = Json::array({condition});
        }
        Json read = {{"kind", c.kind}, {"default", c.def}};
        if (!condition.is_null())
            read["onlyWhen"] = Json::array({condition});
        (*entry)["reads"].push_back(std::move(read));
    }
}

std::vector<std::size_t> allCalls(const std::vector<Call>& calls) {
    std::vector<std::size_t> all(calls.size());
    for (std::size_t i = 0; i < all.size(); ++i)
        all[i] = i;
    return all;
}

// What changes when the node defines `changed`: with its default (when the component asks
// whether it is given) and with another value. Other keys' defaults that follow it become
// their "dependsOn"; keys and reads that only then happen, their "onlyWhen".
void describeChange(const Family& family, const QString& type, Rig& rig, const std::vector<AT_Attr*>& attributes,
                    const Built& base, const Read& changed, Json& properties) {
    std::unique_ptr<Built> present;
    if (changed.presence) {
        MO_PropertyBag bag;
        bag.set(QString::fromStdString(changed.key), sameValue(changed));
        present = std::make_unique<Built>(family.build(type, rig, attributes, bag, nullptr));
    }
    Json shown;
    MO_PropertyBag bag;
    bag.set(QString::fromStdString(changed.key), otherValue(changed, shown));
    const Built other = family.build(type, rig, attributes, bag, nullptr);

    const auto dependency = [](Json& entry) -> Json& {
        if (!entry.contains("dependsOn"))
            entry["dependsOn"] = Json::array();
        return entry["dependsOn"];
    };
    const auto find = [](const std::vector<Read>& reads, const std::string& key) -> const Read* {
        for (const Read& r : reads)
            if (r.key == key)
                return &r;
        return nullptr;
    };
    for (const Read& r : base.reads) {
        if (r.key == changed.key)
            continue;
        const Read* withPresence = present ? find(present->reads, r.key) : nullptr;
        const Read* withOther = find(other.reads, r.key);
        Json* entry = findEntry(properties, r.key);
        if (withPresence && !close(withPresence->def, r.def)) {
            dependency(*entry).push_back({{"property", changed.key}, {"when", "given"}, {"default", withPresence->def}});
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
        Json* entry = findEntry(properties, o.key);
        if (entry && !entry->contains("onlyWhen"))
            continue;
        if (!entry) {
            properties.push_back(propertyEntry(o));
            entry = &properties.back();
            (*entry)["onlyWhen"] = Json::array();
        }
        (*entry)["onlyWhen"].push_back({{"property", changed.key}, {"when", shown}});
    }
    addReads(properties, other.calls, extraCalls(other.calls, base.calls), {{"property", changed.key}, {"when", shown}});
    if (present)
        addReads(properties, present->calls, extraCalls(present->calls, base.calls),
                 {{"property", changed.key}, {"when", "given"}});
}

Json describeProperties(const Family& family, const QString& type, Rig& rig, const std::vector<AT_Attr*>& attributes) {
    const Built base = family.build(type, rig, attributes, MO_PropertyBag(), nullptr);
    Json properties = Json::array();
    for (const Read& r : base.reads)
        properties.push_back(propertyEntry(r));
    addReads(properties, base.calls, allCalls(base.calls), Json());
    for (const Read& changed : base.reads)
        describeChange(family, type, rig, attributes, base, changed, properties);
    return properties;
}

// A value that counts as given: the key's default, but a list of one value, since an empty
// one reads as a list the node does not define.
MO_PropertyValue givenValue(const Read& r) {
    return r.kind == "list" ? MO_PropertyValue(std::vector<double>{0.75}) : sameValue(r);
}

// What update asks, into the component's "update" (the keys, in order; null when it is not
// told of property changes) and "updateReads" (every read, with its default and, for one
// made only when a key is given, that key). Every key seen is given, then each is left out
// in turn: a read that goes with it waits on it.
void describeUpdate(const Family& family, const QString& type, Rig& rig, const std::vector<AT_Attr*>& attributes,
                    Json& component) {
    const MO_PropertyBag empty;
    const Built bare = family.build(type, rig, attributes, empty, &empty);
    component["update"] = Json();
    component["updateReads"] = Json();
    if (!bare.updateCalls)
        return;
    std::vector<Read> known = bare.reads;
    component["update"] = Json::array();
    for (const Read& r : byKey(*bare.updateCalls)) {
        component["update"].push_back(r.key);
        if (std::none_of(known.begin(), known.end(), [&](const Read& k) { return k.key == r.key; }))
            known.push_back(r);
    }
    const auto givenAllBut = [&](const std::string& left) {
        MO_PropertyBag bag;
        for (const Read& k : known)
            if (k.key != left)
                bag.set(QString::fromStdString(k.key), givenValue(k));
        return bag;
    };
    const MO_PropertyBag all = givenAllBut({});
    const std::vector<Call> full = *family.build(type, rig, attributes, empty, &all).updateCalls;
    std::vector<Json> conditions(full.size(), Json::array());
    for (const Read& k : known) {
        const MO_PropertyBag without = givenAllBut(k.key);
        const Built b = family.build(type, rig, attributes, empty, &without);
        for (std::size_t i : extraCalls(full, *b.updateCalls))
            conditions[i].push_back({{"property", k.key}, {"when", "given"}});
    }
    Json reads = Json::array();
    for (std::size_t i = 0; i < full.size(); ++i) {
        if (full[i].kind.empty())
            continue;
        Json read = {{"key", full[i].key}, {"kind", full[i].kind}, {"default", full[i].def}};
        if (!conditions[i].empty())
            read["onlyWhen"] = conditions[i];
        reads.push_back(std::move(read));
    }
    component["updateReads"] = std::move(reads);
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

// Besides what describe.h lists, each property holds "reads": every read of its key, in
// order, as {"kind", "default"} with "onlyWhen" when made only under a condition; and each
// component "updateReads": every read of its update, in order, as {"key", "kind",
// "default"} with "onlyWhen": [{"property", "when": "given"}] for a read made only when
// that key is given (null when it is not told of property changes).
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
            c["class"] = family.build(name, rig, attributes, MO_PropertyBag(), nullptr).className;
            c["attributes"] = accepted;
            c["properties"] = describeProperties(family, name, rig, attributes);
            describeUpdate(family, name, rig, attributes, c);
            out.push_back(std::move(c));
        }
    }
    return out;
}

void printDescription(const Json& description, std::ostream& out) {
    // "given" when the condition is the key's own presence.
    const auto when = [](const Json& w, const std::string& key) {
        if (w["when"] == "given")
            return w["property"] == key ? std::string("given") : w["property"].get<std::string>() + " is given";
        return w["property"].get<std::string>() + " is " + formatValue(w["when"]);
    };
    bool firstBlock = true;
    for (const Json& c : description) {
        if (!firstBlock)
            out << "\n";
        firstBlock = false;
        out << c["type"].get<std::string>() << " (" << c["family"].get<std::string>() << ")\n";
        out << "  class: " << c["class"].get<std::string>() << "\n";
        out << "  attributes: " << c["attributes"]["summary"].get<std::string>() << "\n";
        const Json& properties = c["properties"];
        out << (properties.empty() ? "  properties: none read\n" : "  properties, in the order read:\n");
        for (const Json& p : properties) {
            const std::string key = p["key"];
            std::string line = "    " + key + ": ";
            line += p["kind"].is_null() ? std::string("asked whether given")
                                        : p["kind"].get<std::string>() + ", default " + formatValue(p["default"]);
            if (p["presence"].get<bool>() && !p["kind"].is_null())
                line += "; asked whether given";
            for (const Json& d : p.value("dependsOn", Json::array()))
                line += "; " + condition(d);
            for (const Json& w : p.value("onlyWhen", Json::array()))
                line += "; read only when " + when(w, key);
            const Json& reads = p["reads"];
            for (std::size_t i = 1; i < reads.size(); ++i) {
                line += "; read again, default " + formatValue(reads[i]["default"]);
                for (const Json& w : reads[i].value("onlyWhen", Json::array()))
                    line += ", when " + when(w, key);
            }
            out << line << "\n";
        }
        if (c["update"].is_null()) {
            out << "  on a property change: not told\n";
            continue;
        }
        std::string reads;
        for (const Json& r : c["updateReads"]) {
            const std::string key = r["key"];
            reads += (reads.empty() ? "" : ", ") + key;
            for (const Json& w : r.value("onlyWhen", Json::array()))
                reads += " (only when " + when(w, key) + ")";
        }
        out << "  on a property change: re-reads " << (reads.empty() ? "nothing" : reads) << "\n";
    }
}

}  // namespace runner
