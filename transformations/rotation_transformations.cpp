#include "transformations/rotation_transformations.h"

#include "registry/component.h"

RIGKIT_TYPE_STRING(RotationXLocalTransformation, "ROTATION_X")
RIGKIT_TYPE_STRING(RotationYLocalTransformation, "ROTATION_Y")
RIGKIT_TYPE_STRING(RotationZLocalTransformation, "ROTATION_Z")
RIGKIT_TYPE_STRING(RotationLocalTransformation, "ROTATION_3D")

MO_LocalTransformation* RotationXLocalTransformation::createDynamic(const MO_LocalTransformationFactory::Data& d) {
    return rigkit::createWithFirstAttribute<RotationXLocalTransformation, AT_DoubleAttr>(d);
}

MO_LocalTransformation* RotationYLocalTransformation::createDynamic(const MO_LocalTransformationFactory::Data& d) {
    return rigkit::createWithFirstAttribute<RotationYLocalTransformation, AT_DoubleAttr>(d);
}

MO_LocalTransformation* RotationZLocalTransformation::createDynamic(const MO_LocalTransformationFactory::Data& d) {
    return rigkit::createWithFirstAttribute<RotationZLocalTransformation, AT_DoubleAttr>(d);
}

MO_LocalTransformation* RotationLocalTransformation::createDynamic(const MO_LocalTransformationFactory::Data& d) {
    return rigkit::createWithFirstAttribute<RotationLocalTransformation, AT_Rotation3dAttr>(d);
}

void rotateByEuler(const Math::Angle3d& angles, Math::Matrix4x4& matrix, bool inverse) {
    Math::Quat q;
    q.setEuler(angles, true);
    // The identity quaternion reports no axis and leaves both at zero: no turn.
    double angle = 0.0;
    Math::Vector3d axis(0.0, 0.0, 0.0);
    q.rotAxis(angle, axis);
    matrix.rotateRadians(inverse ? -angle : angle, Math::Vector3d(axis));
}

void RotationLocalTransformation::apply(const MO_FrameKey& key, Math::Matrix4x4& matrix) const {
    Math::Angle3d angles(0.0, 0.0, 0.0);
    m_attr->getValue(key.frame(), angles, nullptr, nullptr);
    rotateByEuler(angles, matrix, false);
}

void RotationLocalTransformation::applyInverse(const MO_FrameKey& key, Math::Matrix4x4& matrix) const {
    Math::Angle3d angles(0.0, 0.0, 0.0);
    m_attr->getValue(key.frame(), angles, nullptr, nullptr);
    rotateByEuler(angles, matrix, true);
}
