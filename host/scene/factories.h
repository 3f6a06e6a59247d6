#pragma once

// The four factories through which the host builds a node's components.

#include "host/host_api.h"
#include "host/scene/class_factory.h"
#include "host/scene/components.h"

#include <QString>

#include <cstdint>
#include <vector>

class AT_Attr;
class MO_Module;
class MO_PropertyAccessor;

// What a component is built from: the node's properties and the attributes it is bound to.
struct HOST_API MO_ComponentData {
    const MO_PropertyAccessor& properties;
    std::vector<AT_Attr*> attributes;
};

struct HOST_API SLB_PickAdaptorData {
    const MO_PropertyAccessor& properties;
    std::vector<AT_Attr*> attributes;
    MO_Module* module = nullptr;
    std::int32_t subSelectionIndex = 0;
};

class HOST_API SLB_SelectableDragManipulatorFactory
    : public class_factory<SLB_SelectableDragManipulator, QString, empty_tag, MO_ComponentData> {};
class HOST_API MO_LocalTransformationFactory
    : public class_factory<MO_LocalTransformation, QString, empty_tag, MO_ComponentData> {};
class HOST_API MO_OGLPainterFactory : public class_factory<MO_OGLPainter, QString, empty_tag, MO_ComponentData> {};
class HOST_API SLB_PickAdaptorFactory
    : public class_factory<SLB_ModulePickAdaptor, QString, empty_tag, SLB_PickAdaptorData> {};

HOST_API SLB_SelectableDragManipulatorFactory& SLB_SelectableDragManipulatorFactorySingleton();
HOST_API MO_LocalTransformationFactory& MO_LocalTransformationFactorySingleton();
HOST_API MO_OGLPainterFactory& MO_OGLPainterFactorySingleton();
HOST_API SLB_PickAdaptorFactory& SLB_PickAdaptorFactorySingleton();
