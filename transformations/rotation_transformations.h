#pragma once

// Rotations of a node by one Euler angle or by three. Every class goes the same way:
// Euler angles to a quaternion, to an angle and an axis, to one turn of the matrix.

#include "host/scene/AT_Attr.h"
#include "host/scene/MO_Frame.h"
#include "host/scene/factories.h"

// Turns the matrix by the rotation of `angles` (degrees), or by its opposite.
void rotateByEuler(const Math::Angle3d& angles, Math::Matrix4x4& matrix, bool inverse);

template <int Axis>
class RotationAxisLocalTransformation : public MO_LocalTransformation {
public:
    explicit RotationAxisLocalTransformation(AT_DoubleAttr* attr) : m_attr(attr) {}
    void apply(const MO_FrameKey& key, Math::Matrix4x4& matrix) const override {
        rotateByEuler(angles(key), matrix, false);
    }
    void applyInverse(const MO_FrameKey& key, Math::Matrix4x4& matrix) const override {
        rotateByEuler(angles(key), matrix, true);
    }

private:
    Math::Angle3d angles(const MO_FrameKey& key) const {
        const double v = m_attr->valueAt(key.frame(), nullptr, nullptr);
        return Math::Angle3d(Axis == 0 ? v : 0.0, Axis == 1 ? v : 0.0, Axis == 2 ? v : 0.0);
    }

    AT_DoubleAttr* m_attr;
};

class RotationXLocalTransformation : public RotationAxisLocalTransformation<0> {
public:
    using RotationAxisLocalTransformation::RotationAxisLocalTransformation;
    static const QString& TypeString();
    static MO_LocalTransformation* createDynamic(const MO_LocalTransformationFactory::Data& data);
};

class RotationYLocalTransformation : public RotationAxisLocalTransformation<1> {
public:
    using RotationAxisLocalTransformation::RotationAxisLocalTransformation;
    static const QString& TypeString();
    static MO_LocalTransformation* createDynamic(const MO_LocalTransformationFactory::Data& data);
};

class RotationZLocalTransformation : public RotationAxisLocalTransformation<2> {
public:
    using RotationAxisLocalTransformation::RotationAxisLocalTransformation;
    static const QString& TypeString();
    static MO_LocalTransformation* createDynamic(const MO_LocalTransformationFactory::Data& data);
};

class RotationLocalTransformation : public MO_LocalTransformation {
public:
    explicit RotationLocalTransformation(AT_Rotation3dAttr* attr) : m_attr(attr) {}
    static const QString& TypeString();
    static MO_LocalTransformation* createDynamic(const MO_LocalTransformationFactory::Data& data);

    void apply(const MO_FrameKey& key, Math::Matrix4x4& matrix) const override;
    void applyInverse(const MO_FrameKey& key, Math::Matrix4x4& matrix) const override;

private:
    AT_Rotation3dAttr* m_attr;
};
