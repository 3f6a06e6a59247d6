#include "tests/support/components.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace rigkit_test;

namespace {

// Every registration of the plug-in: family, type string, and the attribute kind its
// creation needs ("*": any kind, but one must be there; "": none, the list is not looked at;
// "position2d pair": exactly two, both 2D positions).
struct Row {
    Family family;
    const char* type;
    const char* attribute;
};

constexpr Family T = Family::Transformation, M = Family::Manipulator, P = Family::Painter, K = Family::Picker;

const Row kRegistrations[] = {
    {M, "ROTATION_3D", "rotation3d"}, {M, "ROTATION_X", "double"}, {M, "ROTATION_Y", "double"},
    {M, "ROTATION_Z", "double"}, {M, "TRANSLATION_X", "double"}, {M, "TRANSLATION_Y", "double"},
    {M, "TRANSLATION_Z", "double"}, {M, "SLIDER", "double"}, {M, "BUTTON", "bool"}, {M, "SCRIPT", ""},
    {M, "POSITION_2D", "position2d"}, {M, "POSITION_3D", "position3d"}, {T, "ROTATION_3D", "rotation3d"},
    {T, "ROTATION_X", "double"}, {T, "ROTATION_Y", "double"}, {T, "ROTATION_Z", "double"}, {T, "SCALE_3D", "scale3d"},
    {T, "SCALE_X", "double"}, {T, "SCALE_Y", "double"}, {T, "SCALE_Z", "double"}, {T, "TRANSLATION_X", "double"},
    {T, "TRANSLATION_Y", "double"}, {T, "TRANSLATION_Z", "double"}, {T, "TRANSLATION_XY", "position2d"},
    {T, "TRANSLATION_XYZ", "position3d"}, {P, "ARROW_X", ""}, {P, "ARROW_Y", ""}, {P, "ARROW_Z", ""},
    {P, "CIRCLE_X", ""}, {P, "CIRCLE_Y", ""}, {P, "CIRCLE_Z", ""}, {P, "PLANE_XY", ""}, {P, "PLANE_XZ", ""},
    {P, "PLANE_YZ", ""}, {P, "SPHERE", ""}, {P, "LABEL", ""}, {P, "DRAG_DEBUGGER", ""}, {P, "SLIDER", "double"},
    {P, "SLIDER_FRAME", ""}, {P, "BOX_2D", ""}, {P, "BUTTON", "bool"}, {P, "CHECKBOX", "bool"},
    {P, "POINT_2D", "position2d"}, {P, "LINE_2D", "position2d pair"}, {K, "MONO", "*"}, {K, "MULTI", "*"},
};

struct Registry : ::testing::Test {
    Rig rig;
    // One attribute of every kind, to offer each creation the right and the wrong ones.
    std::vector<AT_Attr*> kinds = {rig.d, rig.b, rig.s, rig.p2, rig.p3, rig.r3, rig.s3};

    bool creates(const Row& row, std::vector<AT_Attr*> attrs) {
        return rig.create(row.family, row.type, rig.node->properties(), std::move(attrs));
    }
};

}  // namespace

TEST_F(Registry, EveryFactoryHoldsExactlyItsRowsInNameOrder) {
    for (const Family family : {T, M, P, K}) {
        std::vector<QString> expected;
        for (const Row& r : kRegistrations)
            if (r.family == family)
                expected.push_back(r.type);
        std::sort(expected.begin(), expected.end());
        const std::vector<QString> names = registeredNames(family);
        EXPECT_TRUE(std::is_sorted(names.begin(), names.end())) << int(family);
        // A class registered without a row here would have its creation rule go untested.
        for (const QString& name : names)
            EXPECT_TRUE(std::binary_search(expected.begin(), expected.end(), name))
                << name.toStdString() << " has no row in kRegistrations";
        for (const QString& name : expected)
            EXPECT_TRUE(std::count(names.begin(), names.end(), name) == 1)
                << name.toStdString() << " is not registered once";
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
    for (const char* type : {"MONO", "MULTI"})
        EXPECT_FALSE(rig.create(K, type, rig.node->properties(), {kinds[0]}, false)) << type;
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
    const Row line{P, "LINE_2D", "position2d pair"};
    AT_Attr* other = rig.q2;
    EXPECT_TRUE(creates(line, {kinds[3], other}));
    EXPECT_TRUE(creates(line, {kinds[3], kinds[3]}));
    EXPECT_FALSE(creates(line, {kinds[3]}));
    EXPECT_FALSE(creates(line, {kinds[3], other, kinds[3]}));
    EXPECT_FALSE(creates(line, {kinds[3], kinds[0]}));
    EXPECT_FALSE(creates(line, {kinds[4], kinds[3]}));
    EXPECT_FALSE(creates(line, {kinds[3], nullptr}));
}
