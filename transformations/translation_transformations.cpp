#include "transformations/translation_transformations.h"

#include "host/scene/MO_Node.h"
#include "host/scene/SC_SceneCommon.h"
#include "registry/component.h"

RIGKIT_TYPE_STRING(TranslationXLocalTransformation, "TRANSLATION_X")
RIGKIT_TYPE_STRING(TranslationYLocalTransformation, "TRANSLATION_Y")
RIGKIT_TYPE_STRING(TranslationZLocalTransformation, "TRANSLATION_Z")
RIGKIT_TYPE_STRING(TranslationLocalTransformation2d, "TRANSLATION_XY")
RIGKIT_TYPE_STRING(TranslationLocalTransformation3d, "TRANSLATION_XYZ")

MO_LocalTransformation* TranslationXLocalTransformation::createDynamic(const MO_LocalTransformationFactory::Data& d) {
    return rigkit::createWithFirstAttribute<TranslationXLocalTransformation, AT_DoubleAttr>(d);
}

MO_LocalTransformation* TranslationYLocalTransformation::createDynamic(const MO_LocalTransformationFactory::Data& d) {
    return rigkit::createWithFirstAttribute<TranslationYLocalTransformation, AT_DoubleAttr>(d);
}

MO_LocalTransformation* TranslationZLocalTransformation::createDynamic(const MO_LocalTransformationFactory::Data& d) {
    return rigkit::createWithFirstAttribute<TranslationZLocalTransformation, AT_DoubleAttr>(d);
}

MO_LocalTransformation* TranslationLocalTransformation2d::createDynamic(const MO_LocalTransformationFactory::Data& d) {
    return rigkit::createWithFirstAttribute<TranslationLocalTransformation2d, AT_Position2dAttr>(d);
}

MO_LocalTransformation* TranslationLocalTransformation3d::createDynamic(const MO_LocalTransformationFactory::Data& d) {
    return rigkit::createWithFirstAttribute<TranslationLocalTransformation3d, AT_Position3dAttr>(d);
}

double TranslationAxisLocalTransformationBase::offset(const MO_FrameKey& key, int axis) const {
    const double v = m_attr->valueAt(key.frame(), nullptr, nullptr);
    return v * m_attr->node()->sceneMetrics().unitScale(axis);
}

Math::Point3d TranslationLocalTransformation2d::converted(const MO_FrameKey& key) const {
    Math::Point2d p(0.0, 0.0);
    m_attr->getValue(key.frame(), p, nullptr);
    return m_attr->node()->sceneMetrics().toOGL(Math::Point3d(p.x, p.y, 0.0));
}

void TranslationLocalTransformation2d::apply(const MO_FrameKey& key, Math::Matrix4x4& matrix) const {
    const Math::Point3d t = converted(key);
    matrix.translate(t.x, t.y, 0.0);
}

void TranslationLocalTransformation2d::applyInverse(const MO_FrameKey& key, Math::Matrix4x4& matrix) const {
    const Math::Point3d t = converted(key);
    matrix.translate(-t.x, -t.y, -t.z);
}

Math::Point3d TranslationLocalTransformation3d::converted(const MO_FrameKey& key) const {
    Math::Point3d p(0.0, 0.0, 0.0);
    m_attr->getValue(key.frame(), p, nullptr, nullptr);
    return m_attr->node()->sceneMetrics().toOGL(p);
}

void TranslationLocalTransformation3d::apply(const MO_FrameKey& key, Math::Matrix4x4& matrix) const {
    const Math::Point3d t = converted(key);
    matrix.translate(t.x, t.y, t.z);
}

void TranslationLocalTransformation3d::applyInverse(const MO_FrameKey& key, Math::Matrix4x4& matrix) const {
    const Math::Point3d t = converted(key);
    matrix.translate(-t.x, -t.y, -t.z);
}
