#pragma once

// Node attributes. A scalar attribute (AT_DoubleAttr) has a local value and, when it can be
// animated, a timed-value socket; compound attributes (positions, rotations, scales) are
// made of scalar components that each animate on their own. Booleans and strings hold
// their value from one key to the next.

#include "host/base/SmPtr.h"
#include "host/host_api.h"
#include "host/math/Math.h"
#include "host/scene/AT_Surrogate.h"

#include <QString>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

class MO_Node;
class SC_SceneCommon;
class LXTvSocket;
class LXTimedValue;

// Told of every read of an attribute's value while it is current. The renderer sets one
// while a node draws or is placed, to learn which attributes its drawing depends on; the
// host calls the scene from one thread at a time, so one pointer serves.
class HOST_API AT_ReadObserver {
public:
    virtual ~AT_ReadObserver();
    virtual void read(const AT_Attr& attribute) = 0;
    static AT_ReadObserver* s_current;
};

// While one is set, the animated number attributes it answers for report its values
// instead of their curves': the scene renderer asks what a node's place would be at values
// its curves can reach, to bound where it can be over the whole animation.
class HOST_API AT_ValueProbe {
public:
    virtual ~AT_ValueProbe();
    virtual bool value(const AT_Attr& attribute, double& value) const = 0;
    static const AT_ValueProbe* s_current;
};

class HOST_API AT_AttrMeta {
public:
    bool isNodeDirtyOnChange() const { return m_nodeDirtyOnChange; }
    void setNodeDirtyOnChange(bool b) { m_nodeDirtyOnChange = b; }

private:
    bool m_nodeDirtyOnChange = true;
};

class HOST_API AT_Attr {
public:
    AT_Attr(MO_Node* node, QString name);
    virtual ~AT_Attr();
    AT_Attr(const AT_Attr&) = delete;
    AT_Attr& operator=(const AT_Attr&) = delete;

    // The type string of the attribute's kind (the kind's static TypeString).
    virtual const QString& typeName() const = 0;

    const QString& name() const { return m_name; }
    MO_Node* node() const { return m_node; }
    SC_SceneCommon* sceneCommon() const;
    AT_AttrMeta& meta() { return m_meta; }
    const AT_AttrMeta& meta() const { return m_meta; }

    // While a surrogate is attached the attribute reports the surrogate's value.
    void setSurrogate(const SmPtr<AT_AttrSurrogate>& surrogate) {
        m_surrogate = surrogate;
        noteChanged();
    }
    void resetSurrogate() {
        m_surrogate.reset();
        noteChanged();
    }
    AT_AttrSurrogate* surrogate() const { return m_surrogate.get(); }

    // Counts a change of the value, keys or surrogate, naming this attribute.
    void noteChanged() const { UT_EditCount::note(this, m_node); }

protected:
    void noteRead() const {
        if (AT_ReadObserver::s_current)
            AT_ReadObserver::s_current->read(*this);
    }

    template <class S>
    const S* surrogateAs() const {
        return dynamic_cast<const S*>(m_surrogate.get());
    }

private:
    MO_Node* m_node;
    QString m_name;
    AT_AttrMeta m_meta;
    SmPtr<AT_AttrSurrogate> m_surrogate;
};

class HOST_API AT_SimpleAttr : public AT_Attr {
public:
    using AT_Attr::AT_Attr;
};

class HOST_API AT_DoubleAttr : public AT_SimpleAttr {
public:
    // `animatable` gives the attribute a timed-value socket.
    AT_DoubleAttr(MO_Node* node, QString name, double localValue = 0.0, bool animatable = true);
    ~AT_DoubleAttr() override;

    static const QString& TypeString();
    const QString& typeName() const override { return TypeString(); }

    // The value at a frame: the timed value's when one is linked and not empty, else the
    // local value. The two flags are not used by this host.
    virtual double valueAt(double frame, bool* reserved1 = nullptr, bool* reserved2 = nullptr) const;
    virtual double localValue() const {
        noteRead();
        return m_local;
    }
    virtual bool setLocalValue(double value);
    // Writes into the timed value when animated, else into the local value.
    virtual bool setValue(double frame, double value, bool constantSegment, bool forceKey);

    LXTvSocket* socket() const { return m_socket.get(); }
    LXTimedValue* timedValue() const;

private:
    double m_local;
    std::unique_ptr<LXTvSocket> m_socket;
};

// A value that holds from one key to the next (before the first key, the first key's).
template <class T>
class AT_SteppedValue {
public:
    // Changes are counted in the name of `owner`.
    AT_SteppedValue(T local, const AT_Attr* owner) : m_local(std::move(local)), m_owner(owner) {}
    const T& valueAt(double frame) const {
        if (m_keys.empty())
            return m_local;
        auto it = m_keys.begin();
        for (auto k = m_keys.begin(); k != m_keys.end() && k->first <= frame; ++k)
            it = k;
        return it->second;
    }
    void set(double frame, T v) {
        m_owner->noteChanged();
        if (m_keys.empty()) {
            m_local = std::move(v);
            return;
        }
        auto it = m_keys.begin();
        while (it != m_keys.end() && it->first < frame)
            ++it;
        if (it != m_keys.end() && it->first == frame)
            it->second = std::move(v);
        else
            m_keys.insert(it, {frame, std::move(v)});
    }
    const T& local() const { return m_local; }
    void setLocal(T v) {
        m_owner->noteChanged();
        m_local = std::move(v);
    }
    void addKey(double frame, T v) {
        m_owner->noteChanged();
        m_keys.emplace_back(frame, v);
        std::stable_sort(m_keys.begin(), m_keys.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    }
    const std::vector<std::pair<double, T>>& keys() const { return m_keys; }

private:
    T m_local;
    const AT_Attr* m_owner;
    std::vector<std::pair<double, T>> m_keys;
};

class HOST_API AT_BoolAttr : public AT_SimpleAttr {
public:
    AT_BoolAttr(MO_Node* node, QString name, bool localValue = false);
    static const QString& TypeString();
    const QString& typeName() const override { return TypeString(); }

    virtual bool value(double frame) const {
        noteRead();
        return m_value.valueAt(frame);
    }
    virtual bool localValue() const {
        noteRead();
        return m_value.local();
    }
    virtual bool setLocalValue(bool v);
    // Writes a key at `frame` when keyed (or when `forceKey` asks for the first key), else
    // the local value. A boolean holds from key to key whatever `constantSegment` says; it
    // is taken for the host's signature.
    virtual bool setValue(double frame, bool v, bool constantSegment = false, bool forceKey = false);
    AT_SteppedValue<bool>& stepped() { return m_value; }
    const AT_SteppedValue<bool>& stepped() const { return m_value; }

private:
    AT_SteppedValue<bool> m_value;
};

class HOST_API AT_StringAttr : public AT_SimpleAttr {
public:
    AT_StringAttr(MO_Node* node, QString name, QString localValue = QString());
    static const QString& TypeString();
    const QString& typeName() const override { return TypeString(); }

    virtual QString value(double frame) const {
        noteRead();
        return m_value.valueAt(frame);
    }
    virtual bool setValue(double frame, const QString& v);
    AT_SteppedValue<QString>& stepped() { return m_value; }
    const AT_SteppedValue<QString>& stepped() const { return m_value; }

private:
    AT_SteppedValue<QString> m_value;
};

// A compound attribute: one scalar component per coordinate.
class HOST_API AT_ComplexAttr : public AT_Attr {
public:
    AT_ComplexAttr(MO_Node* node, QString name, const std::vector<QString>& componentNames,
                   const std::vector<double>& localValues, bool animatable);
    ~AT_ComplexAttr() override;

    std::size_t componentCount() const { return m_components.size(); }
    AT_DoubleAttr* component(std::size_t i) const { return m_components[i].get(); }
    AT_DoubleAttr* component(const QString& name) const;

    std::vector<double> valuesAt(double frame) const;
    std::vector<double> localValues() const;
    // One value per component, written as AT_DoubleAttr::setValue writes it.
    bool setValues(double frame, const std::vector<double>& values, bool constantSegment, bool forceKey);
    bool setLocalValues(const std::vector<double>& values);

private:
    std::vector<std::unique_ptr<AT_DoubleAttr>> m_components;
};

class HOST_API AT_Position2dAttr : public AT_ComplexAttr {
public:
    AT_Position2dAttr(MO_Node* node, QString name, const Math::Point2d& local = {}, bool animatable = true);
    static const QString& TypeString();
    const QString& typeName() const override { return TypeString(); }

    // Fills `value` with the position at `frame`; returns whether it did.
    virtual bool getValue(double frame, Math::Point2d& value, bool* reserved = nullptr) const;
    virtual bool getLocalValue(Math::Point2d& value) const;
    AT_DoubleAttr* x() const { return component(0); }
    AT_DoubleAttr* y() const { return component(1); }
};

class HOST_API AT_Position3dAttr : public AT_ComplexAttr {
public:
    AT_Position3dAttr(MO_Node* node, QString name, const Math::Point3d& local = {}, bool animatable = true);
    static const QString& TypeString();
    const QString& typeName() const override { return TypeString(); }

    virtual bool getValue(double frame, Math::Point3d& value, bool* reserved1 = nullptr,
                          bool* reserved2 = nullptr) const;
    AT_DoubleAttr* x() const { return component(0); }
    AT_DoubleAttr* y() const { return component(1); }
    AT_DoubleAttr* z() const { return component(2); }
};

// Three Euler angles in degrees, each its own animatable sub-attribute.
class HOST_API AT_Rotation3dAttr : public AT_ComplexAttr {
public:
    AT_Rotation3dAttr(MO_Node* node, QString name, const Math::Angle3d& local = {}, bool animatable = true);
    static const QString& TypeString();
    const QString& typeName() const override { return TypeString(); }

    virtual bool getValue(double frame, Math::Angle3d& value, bool* reserved1 = nullptr,
                          bool* reserved2 = nullptr) const;
    AT_DoubleAttr* angleX() const { return component(0); }
    AT_DoubleAttr* angleY() const { return component(1); }
    AT_DoubleAttr* angleZ() const { return component(2); }
};

class HOST_API AT_Scale3dAttr : public AT_ComplexAttr {
public:
    AT_Scale3dAttr(MO_Node* node, QString name, const Math::Vector3d& local = {1.0, 1.0, 1.0}, bool animatable = true);
    static const QString& TypeString();
    const QString& typeName() const override { return TypeString(); }

    // The trailing pointers are per-component flags of the host call; unused here.
    virtual bool getValue(double frame, double& x, double& y, double& z, bool* r1 = nullptr, bool* r2 = nullptr,
                          bool* r3 = nullptr, bool* r4 = nullptr, bool* r5 = nullptr, bool* r6 = nullptr) const;
};
