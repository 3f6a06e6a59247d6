#pragma once

// Temporary values shown in place of an attribute's own while the user drags its control.
// The scene is not touched: the attribute reports the surrogate's value until it is reset.

#include "host/base/UT_EditCount.h"
#include "host/host_api.h"
#include "host/math/Math.h"

class AT_Attr;
class AT_DoubleAttr;
class AT_Position2dAttr;
class AT_Position3dAttr;
class AT_Rotation3dAttr;

// Count a change of the value a surrogate shows, naming the attribute it stands in for.
HOST_API void AT_NoteSurrogateChanged(const AT_DoubleAttr* attribute);
HOST_API void AT_NoteSurrogateChanged(const AT_Position2dAttr* attribute);
HOST_API void AT_NoteSurrogateChanged(const AT_Position3dAttr* attribute);
HOST_API void AT_NoteSurrogateChanged(const AT_Rotation3dAttr* attribute);

class HOST_API AT_AttrSurrogate {
public:
    virtual ~AT_AttrSurrogate();
};

class HOST_API AT_ScalarSimpleAttrSurrogate : public AT_AttrSurrogate {
public:
    ~AT_ScalarSimpleAttrSurrogate() override;
    // `frame` is the frame the drag edits.
    AT_ScalarSimpleAttrSurrogate(AT_DoubleAttr* attr, double value, int frame)
        : m_attr(attr), m_value(value), m_frame(frame) {}
    double value() const { return m_value; }
    void setValue(double v) {
        m_value = v;
        AT_NoteSurrogateChanged(m_attr);
    }
    int frame() const { return m_frame; }
    AT_DoubleAttr* attribute() const { return m_attr; }

private:
    AT_DoubleAttr* m_attr;
    double m_value;
    int m_frame;
};

class HOST_API AT_Position2dAttrSurrogate : public AT_AttrSurrogate {
public:
    ~AT_Position2dAttrSurrogate() override;
    // `frame` is the frame the drag edits.
    AT_Position2dAttrSurrogate(AT_Position2dAttr* attr, const Math::Point2d& value, int frame = 0)
        : m_attr(attr), m_value(value), m_frame(frame) {}
    const Math::Point2d& value() const { return m_value; }
    void setValue(const Math::Point2d& v) {
        m_value = v;
        AT_NoteSurrogateChanged(m_attr);
    }
    int frame() const { return m_frame; }
    AT_Position2dAttr* attribute() const { return m_attr; }

private:
    AT_Position2dAttr* m_attr;
    Math::Point2d m_value;
    int m_frame;
};

class HOST_API AT_Position3dAttrSurrogate : public AT_AttrSurrogate {
public:
    ~AT_Position3dAttrSurrogate() override;
    // `frame` is the frame the drag edits.
    AT_Position3dAttrSurrogate(AT_Position3dAttr* attr, const Math::Point3d& value, int frame = 0)
        : m_attr(attr), m_value(value), m_frame(frame) {}
    const Math::Point3d& value() const { return m_value; }
    void setValue(const Math::Point3d& v) {
        m_value = v;
        AT_NoteSurrogateChanged(m_attr);
    }
    int frame() const { return m_frame; }
    AT_Position3dAttr* attribute() const { return m_attr; }

private:
    AT_Position3dAttr* m_attr;
    Math::Point3d m_value;
    int m_frame;
};

class HOST_API AT_Rotation3dAttrSurrogate : public AT_AttrSurrogate {
public:
    ~AT_Rotation3dAttrSurrogate() override;
    // `frame` is the frame the drag edits.
    AT_Rotation3dAttrSurrogate(AT_Rotation3dAttr* attr, const Math::Angle3d& value, int frame = 0)
        : m_attr(attr), m_value(value), m_frame(frame) {}
    int frame() const { return m_frame; }
    const Math::Angle3d& value() const { return m_value; }
    void setValue(const Math::Angle3d& v) {
        m_value = v;
        AT_NoteSurrogateChanged(m_attr);
    }
    AT_Rotation3dAttr* attribute() const { return m_attr; }

private:
    AT_Rotation3dAttr* m_attr;
    Math::Angle3d m_value;
    int m_frame;
};
