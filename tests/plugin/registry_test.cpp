#include "host/scene/AT_Attr.h"
#include "host/scene/MO_Node.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/scene/factories.h"
#include "tests/support/plugin.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

// Every registration of the plug-in: factory, type string, and the attribute kind its
// creation needs ("*": any kind, but one must be there; "": none, the list is not looked at;
// "position2d pair": exactly two, both 2D positions).
struct Row {
    const char* factory;
    const char* type;
    const char* attribute;
};

const Row kRegistrations[] = {
    {"drag manipulators", "ROTATION_3D", "rotation3d"},
    {"drag manipulators", "ROTATION_X", "double"},      {"drag manipulators", "ROTATION_Y", "double"},
    {"drag manipulators", "ROTATION_Z", "double"},      {"drag manipulators", "TRANSLATION_X", "double"},
    {"drag manipulators", "TRANSLATION_Y", "double"},   {"drag manipulators", "TRANSLATION_Z", "double"},
    {"drag manipulators", "SLIDER", "double"},          {"drag manipulators", "BUTTON", "bool"},
    {"drag manipulators", "SCRIPT", ""},
    {"drag manipulators", "POSITION_2D", "position2d"}, {"drag manipulators", "POSITION_3D", "position3d"},
    {"local transformations", "ROTATION_3D", "rotation3d"},
    {"local transformations", "ROTATION_X", "double"},  {"local transformations", "ROTATION_Y", "double"},
    {"local transformations", "ROTATION_Z", "double"},  {"local transformations", "SCALE_3D", "scale3d"},
    {"local transformations", "SCALE_X", "double"},     {"local transformations", "SCALE_Y", "double"},
    {"local transformations", "SCALE_Z", "double"},     {"local transformations", "TRANSLATION_X", "double"},
    {"local transformations", "TRANSLATION_Y", "double"}, {"local transformations", "TRANSLATION_Z", "double"},
    {"local transformations", "TRANSLATION_XY", "position2d"},
    {"local transformations", "TRANSLATION_XYZ", "position3d"},
    {"painters", "ARROW_X", ""},   {"painters", "ARROW_Y", ""},   {"painters", "ARROW_Z", ""},
    {"painters", "CIRCLE_X", ""},  {"painters", "CIRCLE_Y", ""},  {"painters", "CIRCLE_Z", ""},
    {"painters", "PLANE_XY", ""},  {"painters", "PLANE_XZ", ""},  {"painters", "PLANE_YZ", ""},
    {"painters", "SPHERE", ""},    {"painters", "LABEL", ""},     {"painters", "DRAG_DEBUGGER", ""},
    {"painters", "SLIDER", "double"}, {"painters", "SLIDER_FRAME", ""}, {"painters", "BOX_2D", ""},
    {"painters", "BUTTON", "bool"},   {"painters", "CHECKBOX", "bool"},
    {"painters", "POINT_2D", "position2d"}, {"painters", "LINE_2D", "position2d pair"},
    {"pick adaptors", "MONO", "*"}, {"pick adaptors", "MULTI", "*"},
};


std::vector<QString> registered(const char* factory) {
    if (QString(factory) == "local transformations")
        return MO_LocalTransformationFactorySingleton().names();
    if (QString(factory) == "drag manipulators")
        return SLB_SelectableDragManipulatorFactorySingleton().names();
    if (QString(factory) == "painters")
        return MO_OGLPainterFactorySingleton().names();
    return SLB_PickAdaptorFactorySingleton().names();
}

struct Registry : ::testing::Test {
    void SetUp() override { rigkit_test::loadPlugin(); }

    SC_SceneCommon scene;
    MO_Node* node = scene.addNode(std::make_unique<MO_Module>(&scene, "n"));
    // One attribute of every kind, to offer each creation the right and the wrong ones.
    std::vector<AT_Attr*> kinds = {
        node->addAttribute(std::make_unique<AT_DoubleAttr>(node, "d")),
        node->addAttribute(std::make_unique<AT_BoolAttr>(node, "b")),
        node->addAttribute(std::make_unique<AT_StringAttr>(node, "s")),
        node->addAttribute(std::make_unique<AT_Position2dAttr>(node, "p2")),
        node->addAttribute(std::make_unique<AT_Position3dAttr>(node, "p3")),
        node->addAttribute(std::make_unique<AT_Rotation3dAttr>(node, "r3")),
        node->addAttribute(std::make_unique<AT_Scale3dAttr>(node, "s3")),
    };

    bool creates(const Row& row, std::vector<AT_Attr*> attrs, MO_Module* module = nullptr) {
        const QString factory = row.factory;
        if (factory == "pick adaptors") {
            const SLB_PickAdaptorFactory::Data data{node->properties(), std::move(attrs),
                                                    module ? module : static_cast<MO_Module*>(node), 0};
            return std::unique_ptr<SLB_ModulePickAdaptor>(SLB_PickAdaptorFactorySingleton().create(row.type, data)) !=
                   nullptr;
        }
        const MO_ComponentData data{node->properties(), std::move(attrs)};
        if (factory == "local transformations")
            return std::unique_ptr<MO_LocalTransformation>(
                       MO_LocalTransformationFactorySingleton().create(row.type, data)) != nullptr;
        if (factory == "painters")
            return std::unique_ptr<MO_OGLPainter>(MO_OGLPainterFactorySingleton().create(row.type, data)) != nullptr;
        return std::unique_ptr<SLB_SelectableDragManipulator>(
                   SLB_SelectableDragManipulatorFactorySingleton().create(row.type, data)) != nullptr;
    }
};

}  // namespace

TEST_F(Registry, EveryFactoryHoldsExactlyItsRowsInNameOrder) {
    for (const char* factory : {"local transformations", "drag manipulators", "painters", "pick adaptors"}) {
        std::vector<QString> expected;
        for (const Row& r : kRegistrations)
            if (QString(r.factory) == factory)
                expected.push_back(r.type);
        std::sort(expected.begin(), expected.end());
        const std::vector<QString> names = registered(factory);
        EXPECT_TRUE(std::is_sorted(names.begin(), names.end())) << factory;
        // A class registered without a row here would have its creation rule go untested.
        for (const QString& name : names)
            EXPECT_TRUE(std::binary_search(expected.begin(), expected.end(), name))
                << factory << " register " << name.toStdString() << ", which has no row in kRegistrations";
        for (const QString& name : expected)
            EXPECT_TRUE(std::count(names.begin(), names.end(), name) == 1)
                << factory << " do not register " << name.toStdString() << " once";
    }
}

TEST_F(Registry, EntriesPointBackToTheirClassWithANullDefaultCreation) {
    const auto check = [](const auto& f) {
        for (const auto& [name, entry] : f.nameIndex()) {
            EXPECT_EQ(entry->typeString, name);
            ASSERT_NE(entry->createDefault, nullptr);
            EXPECT_EQ(entry->createDefault(), nullptr);
        }
        EXPECT_EQ(f.classIndex().size(), f.nameIndex().size());
    };
    check(MO_LocalTransformationFactorySingleton());
    check(SLB_SelectableDragManipulatorFactorySingleton());
    check(MO_OGLPainterFactorySingleton());
    check(SLB_PickAdaptorFactorySingleton());
}

TEST_F(Registry, PickersNeedAModule) {
    for (const char* type : {"MONO", "MULTI"}) {
        const SLB_PickAdaptorFactory::Data data{node->properties(), {kinds[0]}, nullptr, 0};
        EXPECT_EQ(SLB_PickAdaptorFactorySingleton().create(type, data), nullptr) << type;
    }
}

TEST_F(Registry, CreationNeedsAFirstAttributeOfItsKind) {
    for (const Row& row : kRegistrations) {
        SCOPED_TRACE(row.type);
        if (QString(row.attribute) == "position2d pair")
            continue;
        if (QString(row.attribute).isEmpty()) {
            EXPECT_TRUE(creates(row, {}));
            EXPECT_TRUE(creates(row, {nullptr, kinds[2]}));
            continue;
        }
        EXPECT_FALSE(creates(row, {}));
        EXPECT_FALSE(creates(row, {nullptr}));
        EXPECT_FALSE(creates(row, {nullptr, kinds[0], kinds[3], kinds[4]}));
        for (AT_Attr* a : kinds) {
            const bool fits = QString(row.attribute) == "*" || a->typeName() == row.attribute;
            EXPECT_EQ(creates(row, {a}), fits) << a->typeName().toStdString();
            // Further attributes are ignored, whatever they are.
            EXPECT_EQ(creates(row, {a, nullptr, kinds[1]}), fits);
        }
    }
}

TEST_F(Registry, LinesNeedExactlyTwoPositions) {
    const Row line{"painters", "LINE_2D", "position2d pair"};
    AT_Attr* other = node->addAttribute(std::make_unique<AT_Position2dAttr>(node, "q2"));
    EXPECT_TRUE(creates(line, {kinds[3], other}));
    EXPECT_TRUE(creates(line, {kinds[3], kinds[3]}));
    EXPECT_FALSE(creates(line, {kinds[3]}));
    EXPECT_FALSE(creates(line, {kinds[3], other, kinds[3]}));
    EXPECT_FALSE(creates(line, {kinds[3], kinds[0]}));
    EXPECT_FALSE(creates(line, {kinds[4], kinds[3]}));
    EXPECT_FALSE(creates(line, {kinds[3], nullptr}));
}
