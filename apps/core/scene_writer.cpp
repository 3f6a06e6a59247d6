#include "apps/core/scene_writer.h"

#include "apps/core/json_text.h"

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
#include <filesystem>
#include <map>

namespace runner {

namespace {

CurveKind curveOf(const LXTimedValue* tv) {
    if (dynamic_cast<const LXExprTimedValue*>(tv))
        return CurveKind::Expr;
    if (dynamic_cast<const LXEaseTimedValue*>(tv))
        return CurveKind::Ease;
    if (dynamic_cast<const LXVeloBasedTimedValue*>(tv))
        return CurveKind::VeloBased;
    if (dynamic_cast<const LXFnc2DTimedValue*>(tv))
        return CurveKind::Fnc2d;
    return CurveKind::Bezier;
}

void captureDouble(Attribute& a, const AT_DoubleAttr& attr) {
    a.value = attr.localValue();
    a.keys.clear();
    const LXTimedValue* tv = attr.timedValue();
    a.curve = tv ? std::optional<CurveKind>(curveOf(tv)) : std::nullopt;
    if (!tv)
        return;
    // Filled in place: a key moved into the list trips a false warning of GCC 12 about
    // the variant's other alternatives.
    a.keys.resize(tv->keys().size());
    std::size_t i = 0;
    for (const auto& [frame, value] : tv->keys()) {
        a.keys[i].frame = frame;
        a.keys[i++].value = value;
    }
}

// A compound attribute's keys hold every component's value at each frame where one of
// them has a key: the file cannot say "no key" for one component alone, so a component
// without a point there gets its curve's value.
void captureCompound(Attribute& a, const AT_ComplexAttr& attr) {
    a.value = attr.localValues();
    a.keys.clear();
    const LXTimedValue* first = nullptr;
    std::map<double, bool> frames;
    for (std::size_t c = 0; c < attr.componentCount(); ++c)
        if (const LXTimedValue* tv = attr.component(c)->timedValue()) {
            first = first ? first : tv;
            for (const auto& key : tv->keys())
                frames[key.first] = true;
        }
    a.curve = first ? std::optional<CurveKind>(curveOf(first)) : std::nullopt;
    for (const auto& f : frames)
        a.keys.push_back({f.first, attr.valuesAt(f.first)});
}

template <class T, class ToValue>
void captureStepped(Attribute& a, AT_SteppedValue<T>& stepped, ToValue toValue) {
    a.value = toValue(stepped.local());
    a.keys.clear();
    for (const auto& [frame, value] : stepped.keys())
        a.keys.push_back({frame, toValue(value)});
}

void captureAttribute(Attribute& a, AT_Attr* attr) {
    if (auto* d = dynamic_cast<AT_DoubleAttr*>(attr))
        captureDouble(a, *d);
    else if (auto* c = dynamic_cast<AT_ComplexAttr*>(attr))
        captureCompound(a, *c);
    else if (auto* b = dynamic_cast<AT_BoolAttr*>(attr))
        captureStepped(a, b->stepped(), [](bool v) { return Value(v); });
    else if (auto* s = dynamic_cast<AT_StringAttr*>(attr))
        captureStepped(a, s->stepped(), [](const QString& v) { return Value(v.toStdString()); });
}

Value valueOf(const MO_PropertyValue& value) {
    if (const auto* s = std::get_if<QString>(&value))
        return s->toStdString();
    if (const auto* d = std::get_if<double>(&value))
        return *d;
    if (const auto* b = std::get_if<bool>(&value))
        return *b;
    return std::get<std::vector<double>>(value);
}

// Keys keep the document's order; keys the scene added come after them, removed ones go.
void captureProperties(Node& node, const MO_PropertyBag& bag) {
    const auto& values = bag.values();
    std::vector<std::pair<std::string, Value>> out;
    for (const auto& entry : node.properties) {
        const auto it = values.find(QString::fromStdString(entry.first));
        if (it != values.end())
            out.emplace_back(entry.first, valueOf(it->second));
    }
    for (const auto& [key, value] : values) {
        std::string k = key.toStdString();
        const auto known = [&](const auto& entry) { return entry.first == k; };
        if (std::none_of(out.begin(), out.end(), known))
            out.emplace_back(std::move(k), valueOf(value));
    }
    node.properties = std::move(out);
}

}  // namespace

Document captureDocument(const Document& loaded, const SC_SceneCommon& scene) {
    Document document = loaded;
    for (Node& node : document.nodes) {
        const MO_Node* n = scene.findNode(QString::fromStdString(node.name));
        if (!n)
            continue;
        for (Attribute& a : node.attributes)
            if (AT_Attr* attr = n->attribute(QString::fromStdString(a.name)))
                captureAttribute(a, attr);
        captureProperties(node, n->properties());
    }
    return document;
}

std::string documentText(const Json& document) {
    return cleanText(document);
}

std::string documentText(const Document& document, const Json& written) {
    if (!document.source || !document.sourceText)
        return cleanText(written);
    try {
        return rewrittenText(*document.sourceText, *document.source, written);
    } catch (const RunError&) {
        // A text that is not the source's (which would be a fault of ours) is not patched
        // blindly: the file is written whole instead.
        return cleanText(written);
    }
}

bool writeFileAtomically(const std::string& name, const std::string& text, std::string& why) {
    // Through a symbolic link to the file it names, which stays the link it was.
    std::error_code error;
    const std::filesystem::path resolved = std::filesystem::canonical(name, error);
    const std::string file = error ? name : resolved.string();
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
    // The file keeps its permissions and, where we may, its group; a new one is an
    // ordinary file (mkstemp makes it readable by its owner only).
    struct stat old {};
    mode_t mode = 0;
    if (::stat(file.c_str(), &old) == 0) {
        mode = old.st_mode & 07777;
        if (::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
            // Not a member of the file's group: the new file keeps ours.
        }
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(fd, mode) != 0)
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
