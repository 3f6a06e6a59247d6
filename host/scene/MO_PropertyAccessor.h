#pragma once

// A node's settings. Components read them through MO_PropertyAccessor, always with a
// default that stands when the node does not define the key (or defines it with a value
// that cannot be read as the asked type).

#include "host/base/UT_EditCount.h"
#include "host/base/VS_RGBA.h"
#include "host/host_api.h"
#include "host/math/Math.h"

#include <QString>

#include <cstdint>
#include <map>
#include <variant>
#include <vector>

class HOST_API MO_PropertyAccessor {
public:
    virtual ~MO_PropertyAccessor();

    // The final pointer of each read, when given, is set to whether the default was
    // replaced by the node's value.
    virtual Math::Point2d getPoint(const QString& key, const Math::Point2d& def, bool* found = nullptr) const = 0;
    virtual VS_RGBA getColor(const QString& key, const VS_RGBA& def, bool* found = nullptr) const = 0;
    virtual QString getString(const QString& key, const QString& def, bool* found = nullptr) const = 0;
    // `index` selects an element of a list-valued property; 0 for an ordinary one.
    virtual double getDouble(const QString& key, double def, int index = 0) const = 0;
    virtual bool getBool(const QString& key, bool def, bool* found = nullptr) const = 0;
    virtual int getInt(const QString& key, int def, bool* found = nullptr) const = 0;
    virtual bool hasProperty(const QString& key) const = 0;
    // How many values a list holds; 1 for a single value, 0 for an undefined key.
    virtual int valueCount(const QString& key) const = 0;
};

class HOST_API MO_PropertyChangeListener {
public:
    virtual ~MO_PropertyChangeListener();
    virtual void update(const MO_PropertyAccessor& properties) = 0;
};

// A number, a boolean, a string or a list of numbers. Points and colours are lists: a
// point is two numbers, a colour four numbers from 0 to 255 (red, green, blue, alpha).
using MO_PropertyValue = std::variant<double, bool, QString, std::vector<double>>;

class HOST_API MO_PropertyBag : public MO_PropertyAccessor {
public:
    // `node` is the node the bag belongs to: changes are counted in its name.
    explicit MO_PropertyBag(const void* node = nullptr) : m_node(node) {}
    Math::Point2d getPoint(const QString& key, const Math::Point2d& def, bool* found = nullptr) const override;
    VS_RGBA getColor(const QString& key, const VS_RGBA& def, bool* found = nullptr) const override;
    QString getString(const QString& key, const QString& def, bool* found = nullptr) const override;
    double getDouble(const QString& key, double def, int index = 0) const override;
    bool getBool(const QString& key, bool def, bool* found = nullptr) const override;
    int getInt(const QString& key, int def, bool* found = nullptr) const override;
    bool hasProperty(const QString& key) const override;
    int valueCount(const QString& key) const override;

    void set(const QString& key, MO_PropertyValue value) {
        touch();
        m_values[key] = std::move(value);
    }
    void setPoint(const QString& key, const Math::Point2d& p) { set(key, std::vector<double>{p.x, p.y}); }
    void setColor(const QString& key, const VS_RGBA& c) {
        set(key, std::vector<double>{double(c.r), double(c.g), double(c.b), double(c.a)});
    }
    bool remove(const QString& key) {
        touch();
        return m_values.erase(key) > 0;
    }
    const MO_PropertyValue* find(const QString& key) const;
    const std::map<QString, MO_PropertyValue>& values() const { return m_values; }
    // Counts the bag's changes, so that a viewport can tell the properties moved.
    std::uint64_t version() const { return m_version; }

private:
    void touch() {
        ++m_version;
        if (m_node)
            UT_EditCount::note(m_node, m_node);
        else
            UT_EditCount::note();
    }

    const void* m_node;
    std::map<QString, MO_PropertyValue> m_values;
    std::uint64_t m_version = 0;
};
