#pragma once

// Scales of a node by one factor or by three. Factors are plain ratios: no unit
// conversion. The inverse takes a zero factor as 1, so that axis is left alone.

#include "host/scene/AT_Attr.h"
#include "host/scene/MO_Frame.h"
#include "host/scene/factories.h"

// 1 / v, except that an exact zero (of either sign) counts as 1.
inline double inverseFactor(double v) {
    return 1.0 / (v == 0.0 ? 1.0 : v);
}

template <int Axis>
class ScaleAxisLocalTransformation : public MO_LocalTransformation {
public:
    explicit ScaleAxisLocalTransformation(AT_DoubleAttr* attr) : m_attr(attr) {}
    void apply(const MO_FrameKey& key, Math::Matrix4x4& matrix) const override { scale(matrix, factor(key)); }
    void applyInverse(const MO_FrameKey& key, Math::Matrix4x4& matrix) const override {
        scale(matrix, inverseFactor(factor(key)));
    }

private:
    double factor(const MO_FrameKey& key) const { return m_attr->valueAt(key.frame(), nullptr, nullptr); }
    static void scale(Math::Matrix4x4& matrix, double f) {
        matrix.scale(Axis == 0 ? f : 1.0, Axis == 1 ? f : 1.0, Axis == 2 ? f : 1.0);
    }

    AT_DoubleAttr* m_attr;
};

class ScaleXLocalTransformation : public ScaleAxisLocalTransformation<0> {
public:
    using ScaleAxisLocalTransformation::ScaleAxisLocalTransformation;
    static const QString& TypeString();
    static MO_LocalTransformation* createDynamic(const MO_LocalTransformationFactory::Data& data);
};

class ScaleYLocalTransformation : public ScaleAxisLocalTransformation<1> {
public:
    using ScaleAxisLocalTransformation::ScaleAxisLocalTransformation;
    static const QString& TypeString();
    static MO_LocalTransformation* createDynamic(const MO_LocalTransformationFactory::Data& data);
};

class ScaleZLocalTransformation : public ScaleAxisLocalTransformation<2> {
public:
    using ScaleAxisLocalTransformation::ScaleAxisLocalTransformation;
    static const QString& TypeString();
    static MO_LocalTransformation* createDynamic(const MO_LocalTransformationFactory::Data& data);
};

class ScaleLocalTransformation : public MO_LocalTransformation {
public:
    explicit ScaleLocalTransformation(AT_Scale3dAttr* attr) : m_attr(attr) {}
    static const QString& TypeString();
    static MO_LocalTransformation* createDynamic(const MO_LocalTransformationFactory::Data& data);

    void apply(const MO_FrameKey& key, Math::Matrix4x4& matrix) const override;
    void applyInverse(const MO_FrameKey& key, Math::Matrix4x4& matrix) const override;

private:
    Math::Vector3d factors(const MO_FrameKey& key) const;

    AT_Scale3dAttr* m_attr;
};
