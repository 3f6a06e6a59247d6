#include "host/scene/MO_PropertyAccessor.h"

#include <cmath>
#include <limits>

MO_PropertyAccessor::~MO_PropertyAccessor() = default;
MO_PropertyChangeListener::~MO_PropertyChangeListener() = default;

namespace {

void report(bool* found, bool value) {
    if (found)
        *found = value;
}

// A number as a double, whether it was written as a number or as a boolean.
bool asNumber(const MO_PropertyValue& v, double& out) {
    if (const double* d = std::get_if<double>(&v)) {
        out = *d;
        return true;
    }
    if (const bool* b = std::get_if<bool>(&v)) {
        out = *b ? 1.0 : 0.0;
        return true;
    }
    return false;
}

std::uint8_t channel(double v) {
    return static_cast<std::uint8_t>(std::lround(std::min(255.0, std::max(0.0, v))));
}

}  // namespace

const MO_PropertyValue* MO_PropertyBag::find(const QString& key) const {
    // A node has a few properties and its components ask for many it does not have: equal
    // strings are told first by their lengths, where the tree orders them character by
    // character at each step.
    constexpr std::size_t kWalked = 8;
    if (m_values.size() <= kWalked) {
        for (const auto& [name, value] : m_values)
            if (name.size() == key.size() && name == key)  // the size inline, without a call
                return &value;
        return nullptr;
    }
    const auto it = m_values.find(key);
    return it == m_values.end() ? nullptr : &it->second;
}

Math::Point2d MO_PropertyBag::getPoint(const QString& key, const Math::Point2d& def, bool* found) const {
    const MO_PropertyValue* v = find(key);
    const auto* list = v ? std::get_if<std::vector<double>>(v) : nullptr;
    const bool ok = list && list->size() >= 2;
    report(found, ok);
    return ok ? Math::Point2d((*list)[0], (*list)[1]) : def;
}

VS_RGBA MO_PropertyBag::getColor(const QString& key, const VS_RGBA& def, bool* found) const {
    const MO_PropertyValue* v = find(key);
    const auto* list = v ? std::get_if<std::vector<double>>(v) : nullptr;
    bool ok = list && (list->size() == 3 || list->size() == 4);
    if (ok)
        for (double c : *list)
            ok = ok && std::isfinite(c);
    report(found, ok);
    if (!ok)
        return def;
    return VS_RGBA(channel((*list)[0]), channel((*list)[1]), channel((*list)[2]),
                   list->size() == 4 ? channel((*list)[3]) : std::uint8_t(255));
}

QString MO_PropertyBag::getString(const QString& key, const QString& def, bool* found) const {
    const MO_PropertyValue* v = find(key);
    const auto* s = v ? std::get_if<QString>(v) : nullptr;
    report(found, s != nullptr);
    return s ? *s : def;
}

double MO_PropertyBag::getDouble(const QString& key, double def, int index) const {
    const MO_PropertyValue* v = find(key);
    if (!v)
        return def;
    if (const auto* list = std::get_if<std::vector<double>>(v))
        return index >= 0 && static_cast<std::size_t>(index) < list->size() ? (*list)[index] : def;
    double d;
    return index == 0 && asNumber(*v, d) ? d : def;
}

bool MO_PropertyBag::getBool(const QString& key, bool def, bool* found) const {
    const MO_PropertyValue* v = find(key);
    double d;
    const bool ok = v && asNumber(*v, d) && !std::isnan(d);
    report(found, ok);
    return ok ? d != 0.0 : def;
}

int MO_PropertyBag::getInt(const QString& key, int def, bool* found) const {
    const MO_PropertyValue* v = find(key);
    double d;
    // Truncated towards zero; a value that no int can hold is no int at all.
    const bool ok = v && asNumber(*v, d) && std::isfinite(d) && d > double(std::numeric_limits<int>::min()) - 1.0 &&
                    d < double(std::numeric_limits<int>::max()) + 1.0;
    report(found, ok);
    return ok ? static_cast<int>(d) : def;
}

bool MO_PropertyBag::hasProperty(const QString& key) const {
    return find(key) != nullptr;
}

int MO_PropertyBag::valueCount(const QString& key) const {
    const MO_PropertyValue* v = find(key);
    if (!v)
        return 0;
    if (const auto* list = std::get_if<std::vector<double>>(v))
        return static_cast<int>(list->size());
    return 1;
}
