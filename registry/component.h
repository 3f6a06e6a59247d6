#pragma once

// What every component class shares: its type string and its creation from a factory's
// Data record.

#include "host/scene/MO_PropertyAccessor.h"

#include <QString>

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

}  // namespace rigkit
