#pragma once

// Translations of a node by a scalar, 2D or 3D position attribute, in drawing units.

#include "host/scene/AT_Attr.h"
#include "host/scene/MO_Frame.h"
#include "host/scene/factories.h"

class TranslationAxisLocalTransformationBase : public MO_LocalTransformation {
public:
    explicit TranslationAxisLocalTransformationBase(AT_DoubleAttr* attr) : m_attr(attr) {}

protected:
    // The attribute's value at the key's frame, in drawing units along `axis`.
    double offset(const MO_FrameKey& key, int axis) const;

    AT_DoubleAttr* m_attr;
};

// The single-axis translations differ only by their axis (0 = X, 1 = Y, 2 = Z).
template <int Axis>
class TranslationAxisLocalTransformation : public TranslationAxisLocalTransformationBase {
public:
    using TranslationAxisLocalTransformationBase::TranslationAxisLocalTransformationBase;
    void apply(const MO_FrameKey& key, Math::Matrix4x4& matrix) const override { translate(key, matrix, 1.0); }
    void applyInverse(const MO_FrameKey& key, Math::Matrix4x4& matrix) const override { translate(key, matrix, -1.0); }

private:
    void translate(const MO_FrameKey& key, Math::Matrix4x4& matrix, double sign) const {
        const double d = sign * offset(key, Axis);
        matrix.translate(Axis == 0 ? d : 0.0, Axis == 1 ? d : 0.0, Axis == 2 ? d : 0.0);
    }
};

class TranslationXLocalTransformation : public TranslationAxisLocalTransformation<0> {
public:
    using TranslationAxisLocalTransformation::TranslationAxisLocalTransformation;
    static const QString& TypeString();
    static MO_LocalTransformation* createDynamic(const MO_LocalTransformationFactory::Data& data);
};

class TranslationYLocalTransformation : public TranslationAxisLocalTransformation<1> {
public:
    using TranslationAxisLocalTransformation::TranslationAxisLocalTransformation;
    static const QString& TypeString();
    static MO_LocalTransformation* createDynamic(const MO_LocalTransformationFactory::Data& data);
};

class TranslationZLocalTransformation : public TranslationAxisLocalTransformation<2> {
public:
    using TranslationAxisLocalTransformation::TranslationAxisLocalTransformation;
    static const QString& TypeString();
    static MO_LocalTransformation* createDynamic(const MO_LocalTransformationFactory::Data& data);
};

class TranslationLocalTransformation2d : public MO_LocalTransformation {
public:
    explicit TranslationLocalTransformation2d(AT_Position2dAttr* attr) : m_attr(attr) {}
    static const QString& TypeString();
    static MO_LocalTransformation* createDynamic(const MO_LocalTransformationFactory::Data& data);

    // Moves in X and Y only; the inverse also undoes the converted point's Z.
    void apply(const MO_FrameKey& key, Math::Matrix4x4& matrix) const override;
    void applyInverse(const MO_FrameKey& key, Math::Matrix4x4& matrix) const override;

private:
    Math::Point3d converted(const MO_FrameKey& key) const;

    AT_Position2dAttr* m_attr;
};

class TranslationLocalTransformation3d : public MO_LocalTransformation {
public:
    explicit TranslationLocalTransformation3d(AT_Position3dAttr* attr) : m_attr(attr) {}
    static const QString& TypeString();
    static MO_LocalTransformation* createDynamic(const MO_LocalTransformationFactory::Data& data);

    void apply(const MO_FrameKey& key, Math::Matrix4x4& matrix) const override;
    void applyInverse(const MO_FrameKey& key, Math::Matrix4x4& matrix) const override;

private:
    Math::Point3d converted(const MO_FrameKey& key) const;

    AT_Position3dAttr* m_attr;
};
