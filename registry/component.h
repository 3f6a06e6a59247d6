#pragma once

// What every component class shares: its type string, its creation from a factory's Data
// record, and the narrowing of a user's number to the host's integers.

#include "host/scene/MO_PropertyAccessor.h"

#include <QString>

#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>

// Defines Class::TypeString(): built once from an upper-case ASCII literal on first use
// (during load, by the class's registration) and destroyed at unload.
#define RIGKIT_TYPE_STRING(Class, literal)                              \
    const QString& Class::TypeString() {                                \
        static const QString typeString = QString::fromLatin1(literal); \
        return typeString;                                              \
    }

namespace rigkit {

// Builds T from the first attribute of the Data record, which must be there, non-null and
// of kind A; further attributes are ignored. Null otherwise.
template <class T, class A, class Data>
T* createWithFirstAttribute(const Data& data) {
    if (data.attributes.empty() || !data.attributes.front())
        return nullptr;
    A* attr = dynamic_cast<A*>(data.attributes.front());
    if (!attr)
        return nullptr;
    if constexpr (std::is_constructible_v<T, const MO_PropertyAccessor&, A*>)
        return new T(data.properties, attr);
    else
        return new T(attr);
}

// `v` truncated toward zero, as the host's 32-bit integer arguments take it (a frame, a
// text size). Values come from the user, and a plain cast of one beyond the range is
// undefined: those saturate, and one that is not a number is 0.
inline std::int32_t truncateToInt(double v) {
    if (std::isnan(v))
        return 0;
    if (v >= 2147483648.0)
        return std::numeric_limits<std::int32_t>::max();
    if (v <= -2147483649.0)
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

}  // namespace rigkit
