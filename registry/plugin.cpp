// The plug-in's entry and the registration of every component class. Each row below is one
// static object whose construction, while the library loads, registers one class.

#include "manipulators/button_manipulators.h"
#include "manipulators/position_manipulators.h"
#include "manipulators/rotation_manipulators.h"
#include "manipulators/slider_manipulator.h"
#include "manipulators/translation_manipulators.h"
#include "painters/arrow_painters.h"
#include "painters/button_painters.h"
#include "painters/circle_painters.h"
#include "painters/drag_debugger_painter.h"
#include "painters/label_painter.h"
#include "painters/plane_painters.h"
#include "painters/slider_painters.h"
#include "painters/position_painters.h"
#include "painters/sphere_painter.h"
#include "pickers/pickers.h"
#include "registry/export.h"
#include "registry/registration.h"
#include "transformations/rotation_transformations.h"
#include "transformations/scale_transformations.h"
#include "transformations/translation_transformations.h"

extern "C" RIGKIT_EXPORT void PLUG_Init() {
    // Everything was registered while the library loaded.
}

namespace {

using namespace rigkit;

template <class T>
using LocalTransformation = Registration<T, MO_LocalTransformationFactory, &MO_LocalTransformationFactorySingleton>;

const LocalTransformation<TranslationXLocalTransformation> translationX;
const LocalTransformation<TranslationYLocalTransformation> translationY;
const LocalTransformation<TranslationZLocalTransformation> translationZ;
const LocalTransformation<TranslationLocalTransformation2d> translationXY;
const LocalTransformation<TranslationLocalTransformation3d> translationXYZ;
const LocalTransformation<RotationXLocalTransformation> rotationX;
const LocalTransformation<RotationYLocalTransformation> rotationY;
const LocalTransformation<RotationZLocalTransformation> rotationZ;
const LocalTransformation<RotationLocalTransformation> rotation3d;
const LocalTransformation<ScaleXLocalTransformation> scaleX;
const LocalTransformation<ScaleYLocalTransformation> scaleY;
const LocalTransformation<ScaleZLocalTransformation> scaleZ;
const LocalTransformation<ScaleLocalTransformation> scale3d;

template <class T>
using DragManipulator =
    Registration<T, SLB_SelectableDragManipulatorFactory, &SLB_SelectableDragManipulatorFactorySingleton>;

const DragManipulator<TranslationXDragManipulator> translationXDrag;
const DragManipulator<TranslationYDragManipulator> translationYDrag;
const DragManipulator<TranslationZDragManipulator> translationZDrag;
const DragManipulator<RotationXDragManipulator> rotationXDrag;
const DragManipulator<RotationYDragManipulator> rotationYDrag;
const DragManipulator<RotationZDragManipulator> rotationZDrag;
const DragManipulator<RotationDragManipulator> rotation3dDrag;
const DragManipulator<SliderDragManipulator> sliderDrag;
const DragManipulator<ButtonDragManipulator> buttonDrag;
const DragManipulator<ScriptDragManipulator> scriptDrag;
const DragManipulator<Position2dDragManipulator> position2dDrag;
const DragManipulator<Position3dDragManipulator> position3dDrag;

template <class T>
using PickAdaptor = Registration<T, SLB_PickAdaptorFactory, &SLB_PickAdaptorFactorySingleton>;

const PickAdaptor<MonoPicker> mono;
const PickAdaptor<MultiPicker> multi;

template <class T>
using Painter = Registration<T, MO_OGLPainterFactory, &MO_OGLPainterFactorySingleton>;

const Painter<ArrowXOGLPainter> arrowX;
const Painter<ArrowYOGLPainter> arrowY;
const Painter<ArrowZOGLPainter> arrowZ;
const Painter<CircleXOGLPainter> circleX;
const Painter<CircleYOGLPainter> circleY;
const Painter<CircleZOGLPainter> circleZ;
const Painter<DragDebuggerOGLPainter> dragDebugger;
const Painter<PlaneXYOGLPainter> planeXY;
const Painter<PlaneXZOGLPainter> planeXZ;
const Painter<PlaneYZOGLPainter> planeYZ;
const Painter<SphereOGLPainter> sphere;
const Painter<LabelOGLPainter> label;
const Painter<SliderOGLPainter> slider;
const Painter<SliderFrameOGLPainter> sliderFrame;
const Painter<ButtonOGLPainter> button;
const Painter<CheckboxOGLPainter> checkbox;
const Painter<Point2dOGLPainter> point2d;
const Painter<Line2dOGLPainter> line2d;
const Painter<Box2dOGLPainter> box2d;

}  // namespace
