#include "host/scene/factories.h"

SLB_SelectableDragManipulatorFactory& SLB_SelectableDragManipulatorFactorySingleton() {
    static SLB_SelectableDragManipulatorFactory f;
    return f;
}

MO_LocalTransformationFactory& MO_LocalTransformationFactorySingleton() {
    static MO_LocalTransformationFactory f;
    return f;
}

MO_OGLPainterFactory& MO_OGLPainterFactorySingleton() {
    static MO_OGLPainterFactory f;
    return f;
}

SLB_PickAdaptorFactory& SLB_PickAdaptorFactorySingleton() {
    static SLB_PickAdaptorFactory f;
    return f;
}
