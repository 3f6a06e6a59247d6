#include "transformations/scale_transformations.h"

#include "registry/component.h"

RIGKIT_TYPE_STRING(ScaleXLocalTransformation, "SCALE_X")
RIGKIT_TYPE_STRING(ScaleYLocalTransformation, "SCALE_Y")
RIGKIT_TYPE_STRING(ScaleZLocalTransformation, "SCALE_Z")
RIGKIT_TYPE_STRING(ScaleLocalTransformation, "SCALE_3D")

MO_LocalTransformation* ScaleXLocalTransformation::createDynamic(const MO_LocalTransformationFactory::Data& d) {
    return rigkit::createWithFirstAttribute<ScaleXLocalTransformation, AT_DoubleAttr>(d);
}

MO_LocalTransformation* ScaleYLocalTransformation::createDynamic(const MO_LocalTransformationFactory::Data& d) {
    return rigkit::createWithFirstAttribute<ScaleYLocalTransformation, AT_DoubleAttr>(d);
}

MO_LocalTransformation* ScaleZLocalTransformation::createDynamic(const MO_LocalTransformationFactory::Data& d) {
    return rigkit::createWithFirstAttribute<ScaleZLocalTransformation, AT_DoubleAttr>(d);
}

MO_LocalTransformation* ScaleLocalTransformation::createDynamic(const MO_LocalTransformationFactory::Data& d) {
    return rigkit::createWithFirstAttribute<ScaleLocalTransformation, AT_Scale3dAttr>(d);
}

Math::Vector3d ScaleLocalTransformation::factors(const MO_FrameKey& key) const {
    // Factors the attribute does not fill stay 1.
    double x = 1.0, y = 1.0, z = 1.0;
    m_attr->getValue(key.frame(), x, y, z, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    return Math::Vector3d(x, y, z);
}

void ScaleLocalTransformation::apply(const MO_FrameKey& key, Math::Matrix4x4& matrix) const {
    const Math::Vector3d f = factors(key);
    matrix.scale(f.x, f.y, f.z);
}

void ScaleLocalTransformation::applyInverse(const MO_FrameKey& key, Math::Matrix4x4& matrix) const {
    const Math::Vector3d f = factors(key);
    matrix.scale(inverseFactor(f.x), inverseFactor(f.y), inverseFactor(f.z));
}
