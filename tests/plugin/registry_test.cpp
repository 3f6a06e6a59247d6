// Which attributes each registered type is built from, and every type each factory holds,
// are written in docs/components.md, which a test holds to what the describer learns by
// offering the factories lists of every kind. What it never offers: lists holding null,
// and a picker without the node's module.

#include "tests/support/components.h"

#include <gtest/gtest.h>

using namespace rigkit_test;

TEST(Registry, NullAttributesAreRefusedWhereOneIsNeededAndPickersNeedAModule) {
    for (const Component& c : allComponents()) {
        SCOPED_TRACE(describe(c));
        Rig rig;
        const MO_PropertyAccessor& properties = rig.node->properties();
        if (rig.create(c.family, c.type, properties, {})) {
            // Built from nothing, it does not look at the list.
            EXPECT_TRUE(rig.create(c.family, c.type, properties, {nullptr, rig.s}));
            continue;
        }
        std::vector<AT_Attr*> given;
        for (const char* name : c.attributes)
            given.push_back(rig.node->attribute(name));
        ASSERT_FALSE(given.empty()) << "no list of attributes builds it";
        for (std::size_t i = 0; i < given.size(); ++i) {
            std::vector<AT_Attr*> holed = given;
            holed[i] = nullptr;
            EXPECT_FALSE(rig.create(c.family, c.type, properties, holed)) << "null at " << i;
        }
        EXPECT_EQ(rig.create(c.family, c.type, properties, given, false), c.family != Family::Picker);
    }
}
