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
// creation needs (empty: none looked at).
struct Row {
    const char* factory;
    const char* type;
    const char* attribute;
};

const Row kRegistrations[] = {
    {"local transformations", "TRANSLATION_X", "double"},
    {"local transformations", "TRANSLATION_XY", "position2d"},
    {"local transformations", "TRANSLATION_XYZ", "position3d"},
    {"local transformations", "TRANSLATION_Y", "double"},
    {"local transformations", "TRANSLATION_Z", "double"},
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

    bool creates(const Row& row, std::vector<AT_Attr*> attrs) {
        const MO_ComponentData data{node->properties(), std::move(attrs)};
        if (QString(row.factory) == "local transformations") {
            std::unique_ptr<MO_LocalTransformation> t(MO_LocalTransformationFactorySingleton().create(row.type, data));
            return t != nullptr;
        }
        ADD_FAILURE() << "no creation for factory " << row.factory;
        return false;
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
        EXPECT_EQ(registered(factory), expected) << factory;
    }
}

TEST_F(Registry, EntriesPointBackToTheirClassWithANullDefaultCreation) {
    const auto& f = MO_LocalTransformationFactorySingleton();
    for (const auto& [name, entry] : f.nameIndex()) {
        EXPECT_EQ(entry->typeString, name);
        ASSERT_NE(entry->createDefault, nullptr);
        EXPECT_EQ(entry->createDefault(), nullptr);
    }
    EXPECT_EQ(f.classIndex().size(), f.nameIndex().size());
}

TEST_F(Registry, CreationNeedsAFirstAttributeOfItsKind) {
    for (const Row& row : kRegistrations) {
        SCOPED_TRACE(row.type);
        EXPECT_FALSE(creates(row, {}));
        EXPECT_FALSE(creates(row, {nullptr}));
        EXPECT_FALSE(creates(row, {nullptr, kinds[0], kinds[3], kinds[4]}));
        for (AT_Attr* a : kinds) {
            const bool fits = a->typeName() == row.attribute;
            EXPECT_EQ(creates(row, {a}), fits) << a->typeName().toStdString();
            // Further attributes are ignored, whatever they are.
            EXPECT_EQ(creates(row, {a, nullptr, kinds[1]}), fits);
        }
    }
}
