#include "apps/rigkit-run/scene_writer.h"

#include "host/scene/AT_Attr.h"
#include "host/scene/LXTimedValue.h"
#include "host/scene/MO_Node.h"
#include "host/scene/SC_SceneCommon.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

namespace runner {

namespace {

// Sets `key` unless the document already says the same (numbers compare by value), so
// that a save changes only what the scene changed.
void put(Json& object, const char* key, const Json& fresh) {
    if (object.contains(key) && object[key] == fresh)
        return;
    object[key] = fresh;
}

// Keys as written in the file, in frame order: the loader sorts them, so a file that lists
// them otherwise says the same.
bool sameKeys(const Json& written, const Json& fresh) {
    if (!written.is_array())
        return false;
    Json sorted = written;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const Json& a, const Json& b) { return a[0].get<double>() < b[0].get<double>(); });
    return sorted == fresh;
}

void putKeys(Json& desc, const Json& fresh) {
    if (!desc.contains("keys") || !sameKeys(desc["keys"], fresh))
        desc["keys"] = fresh;
}

Json numbers(const std::vector<double>& values) {
    Json out = Json::array();
    for (double v : values)
        out.push_back(v);
    return out;
}

const char* curveKind(const LXTimedValue* tv) {
    if (dynamic_cast<const LXExprTimedValue*>(tv))
        return "expr";
    if (dynamic_cast<const LXEaseTimedValue*>(tv))
        return "ease";
    if (dynamic_cast<const LXVeloBasedTimedValue*>(tv))
        return "velobased";
    if (dynamic_cast<const LXFnc2DTimedValue*>(tv))
        return "fnc2d";
    return "bezier";
}

void dropKeys(Json& desc) {
    desc.erase("curve");
    desc.erase("keys");
}

void writeDouble(Json& desc, const AT_DoubleAttr* attr) {
    if (desc.contains("value") || attr->localValue() != 0.0)
        put(desc, "value", attr->localValue());
    const LXTimedValue* tv = attr->timedValue();
    if (!tv) {
        dropKeys(desc);
        return;
    }
    put(desc, "curve", curveKind(tv));
    Json keys = Json::array();
    for (const auto& [frame, value] : tv->keys())
        keys.push_back(Json::array({frame, value}));
    putKeys(desc, keys);
}

// A compound attribute's keys are written per frame with every component's value, as the
// file keys them. A component without a point at a frame where another has one gets its
// curve's value there: the file cannot say "no key" for one component alone.
void writeCompound(Json& desc, const AT_ComplexAttr* attr, const std::string& typeName) {
    const std::vector<double> local = attr->localValues();
    const double unset = typeName == "scale3d" ? 1.0 : 0.0;
    bool plain = true;
    for (double v : local)
        plain = plain && v == unset;
    if (desc.contains("value") || !plain)
        put(desc, "value", numbers(local));
    const LXTimedValue* first = nullptr;
    std::map<double, bool> frames;
    for (std::size_t c = 0; c < attr->componentCount(); ++c)
        if (const LXTimedValue* tv = attr->component(c)->timedValue()) {
            first = first ? first : tv;
            for (const auto& key : tv->keys())
                frames[key.first] = true;
        }
    if (!first) {
        dropKeys(desc);
        return;
    }
    put(desc, "curve", curveKind(first));
    Json keys = Json::array();
    for (const auto& f : frames)
        keys.push_back(Json::array({f.first, numbers(attr->valuesAt(f.first))}));
    putKeys(desc, keys);
}

template <class T, class ToJson>
void writeStepped(Json& desc, AT_SteppedValue<T>& stepped, const T& unset, ToJson toJson) {
    if (desc.contains("value") || !(stepped.local() == unset))
        put(desc, "value", toJson(stepped.local()));
    if (stepped.keys().empty()) {
        desc.erase("keys");
        return;
    }
    Json keys = Json::array();
    for (const auto& [frame, value] : stepped.keys())
        keys.push_back(Json::array({frame, toJson(value)}));
    putKeys(desc, keys);
}

void writeAttribute(Json& desc, AT_Attr* attr) {
    const std::string type = desc.value("type", std::string());
    if (auto* d = dynamic_cast<AT_DoubleAttr*>(attr)) {
        writeDouble(desc, d);
    } else if (auto* c = dynamic_cast<AT_ComplexAttr*>(attr)) {
        writeCompound(desc, c, type);
    } else if (auto* b = dynamic_cast<AT_BoolAttr*>(attr)) {
        writeStepped(desc, b->stepped(), false, [](bool v) { return Json(v); });
    } else if (auto* s = dynamic_cast<AT_StringAttr*>(attr)) {
        writeStepped(desc, s->stepped(), QString(), [](const QString& v) { return Json(v.toStdString()); });
    }
}

Json propertyJson(const MO_PropertyValue& value) {
    if (const auto* d = std::get_if<double>(&value))
        return *d;
    if (const auto* b = std::get_if<bool>(&value))
        return *b;
    if (const auto* s = std::get_if<QString>(&value))
        return s->toStdString();
    return numbers(std::get<std::vector<double>>(value));
}

// Keys keep the file's order; keys the scene added come after them, removed ones go.
void writeProperties(Json& node, const MO_PropertyBag& bag) {
    const auto& values = bag.values();
    if (!node.contains("properties") && values.empty())
        return;
    Json out = Json::object();
    if (node.contains("properties"))
        for (const auto& item : node["properties"].items()) {
            const auto it = values.find(QString::fromStdString(item.key()));
            if (it == values.end())
                continue;
            const Json fresh = propertyJson(it->second);
            out[item.key()] = item.value() == fresh ? item.value() : fresh;
        }
    for (const auto& [key, value] : values) {
        const std::string k = key.toStdString();
        if (!out.contains(k))
            out[k] = propertyJson(value);
    }
    node["properties"] = out;
}

}  // namespace

Json sceneDocument(const Json& loaded, const SC_SceneCommon& scene) {
    Json document = loaded;
    if (!document.contains("nodes"))
        return document;
    for (Json& node : document["nodes"]) {
        const MO_Node* n = scene.findNode(QString::fromStdString(node["name"].get<std::string>()));
        if (!n)
            continue;
        if (node.contains("attributes"))
            for (auto& item : node["attributes"].items())
                if (AT_Attr* attr = n->attribute(QString::fromStdString(item.key())))
                    writeAttribute(item.value(), attr);
        writeProperties(node, n->properties());
    }
    return document;
}

std::string documentText(const Json& document) {
    return document.dump(2) + "\n";
}

bool writeFileAtomically(const std::string& file, const std::string& text, std::string& why) {
    // Beside the target, so that the rename stays within one file system.
    std::string temporary = file + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) {
        why = std::string("cannot make a temporary file beside it: ") + std::strerror(errno);
        return false;
    }
    const auto fail = [&](const char* what) {
        why = std::string(what) + ": " + std::strerror(errno);
        ::close(fd);
        ::unlink(temporary.c_str());
        return false;
    };
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail("cannot write");
        }
        done += static_cast<std::size_t>(n);
    }
    // mkstemp makes the file readable by its owner only; a scene file is an ordinary one.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(fd, 0666 & ~mask) != 0)
        return fail("cannot set the file's permissions");
    if (::fsync(fd) != 0)
        return fail("cannot flush to disk");
    if (::close(fd) != 0) {
        why = std::string("cannot write: ") + std::strerror(errno);
        ::unlink(temporary.c_str());
        return false;
    }
    if (std::rename(temporary.c_str(), file.c_str()) != 0) {
        why = std::string("cannot replace the file: ") + std::strerror(errno);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace runner
