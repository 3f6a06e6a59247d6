#pragma once

// A factory of one family of components, keyed by type string. It keeps two ordered
// indexes: the class index, from a class's run-time type identity to its registration
// entry, and the name index, from type string to entry. Registering a class twice
// overwrites its entry; registering a name twice keeps the first class under that name.

#include <QString>

#include <cstdint>
#include <map>
#include <typeinfo>
#include <vector>

struct empty_tag {};

template <class Base, class Key, class Tag, class DataT>
class class_factory {
public:
    using Product = Base;
    using Data = DataT;
    using CreateDefault = Base* (*)();
    using CreateDynamic = Base* (*)(const Data&);

    struct Entry {
        Key typeString;
        // Reserved for the host; registration leaves it alone.
        void* hostData = nullptr;
        CreateDefault createDefault = nullptr;
        CreateDynamic createDynamic = nullptr;
    };

    using ClassIndex = std::map<std::uintptr_t, Entry>;
    using NameIndex = std::map<Key, Entry*>;

    // Registers the class identified by `type`. Returns whether `name` entered the name
    // index (false when it already named a class).
    bool registerClass(const std::type_info& type, const Key& name, CreateDefault createDefault,
                       CreateDynamic createDynamic) {
        const std::uintptr_t id = reinterpret_cast<std::uintptr_t>(&type);
        auto it = m_classes.lower_bound(id);
        if (it == m_classes.end() || it->first != id)
            it = m_classes.emplace_hint(it, id, Entry());
        Entry& entry = it->second;
        entry.typeString = name;
        entry.createDefault = createDefault;
        entry.createDynamic = createDynamic;
        return m_names.emplace(name, &entry).second;
    }

    template <class T>
    bool registerClass(const Key& name, CreateDefault createDefault) {
        return registerClass(typeid(T), name, createDefault, &T::createDynamic);
    }

    // The registered creation for `name`, or null when no class answers to it.
    const Entry* find(const Key& name) const {
        const auto it = m_names.find(name);
        return it == m_names.end() ? nullptr : it->second;
    }

    // Builds a component; null for an unknown name or Data the class cannot use.
    Base* create(const Key& name, const Data& data) const {
        const Entry* e = find(name);
        return e && e->createDynamic ? e->createDynamic(data) : nullptr;
    }

    std::vector<Key> names() const {
        std::vector<Key> out;
        for (const auto& kv : m_names)
            out.push_back(kv.first);
        return out;
    }

    const ClassIndex& classIndex() const { return m_classes; }
    const NameIndex& nameIndex() const { return m_names; }

private:
    ClassIndex m_classes;
    NameIndex m_names;
};
