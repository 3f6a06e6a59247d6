#include "host/scene/MO_PropertyAccessor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(PropertyBag, UndefinedKeysYieldTheDefault) {
    MO_PropertyBag bag;
    bool found = true;
    EXPECT_EQ(bag.getDouble("length", 1.5), 1.5);
    EXPECT_EQ(bag.getInt("count", 7, &found), 7);
    EXPECT_FALSE(found);
    EXPECT_TRUE(bag.getBool("flag", true));
    EXPECT_EQ(bag.getString("name", "x"), "x");
    EXPECT_EQ(bag.getPoint("p", {1, 2}).y, 2.0);
    EXPECT_EQ(bag.getColor("color", VS_RGBA(1, 2, 3, 4)), VS_RGBA(1, 2, 3, 4));
    EXPECT_FALSE(bag.hasProperty("length"));
    EXPECT_EQ(bag.valueCount("length"), 0);
}

TEST(PropertyBag, ValuesOfTheWrongShapeYieldTheDefault) {
    MO_PropertyBag bag;
    bag.set("s", QString("text"));
    bag.set("list", std::vector<double>{1, 2, 3});
    bag.set("nan", std::numeric_limits<double>::quiet_NaN());
    bag.set("huge", 1e300);
    EXPECT_EQ(bag.getDouble("s", 4.0), 4.0);
    EXPECT_EQ(bag.getString("list", "d"), "d");
    EXPECT_EQ(bag.getPoint("s", {9, 9}).x, 9.0);
    EXPECT_EQ(bag.getColor("list", VS_RGBA(9, 9, 9, 9)), VS_RGBA(1, 2, 3, 255));  // three channels: opaque
    EXPECT_EQ(bag.getInt("nan", -1), -1);
    EXPECT_EQ(bag.getInt("huge", -1), -1);
    EXPECT_TRUE(bag.getBool("nan", true));
    EXPECT_TRUE(bag.hasProperty("s"));
}

TEST(PropertyBag, NumbersBooleansAndColours) {
    MO_PropertyBag bag;
    bag.set("size", 10.9);
    bag.set("neg", -2.7);
    bag.set("on", true);
    bag.set("zero", 0.0);
    bag.setColor("color", VS_RGBA(255, 0, 128, 10));
    bag.set("wild", std::vector<double>{300, -5, 127.6, 0});
    EXPECT_EQ(bag.getInt("size", 0), 10);  // truncated, not rounded
    EXPECT_EQ(bag.getInt("neg", 0), -2);
    EXPECT_EQ(bag.getDouble("on", 0.0), 1.0);
    EXPECT_TRUE(bag.getBool("on", false));
    EXPECT_FALSE(bag.getBool("zero", true));
    EXPECT_EQ(bag.getColor("color", {}), VS_RGBA(255, 0, 128, 10));
    EXPECT_EQ(bag.getColor("wild", {}), VS_RGBA(255, 0, 128, 0));  // clamped and rounded
    EXPECT_EQ(bag.valueCount("size"), 1);
}

TEST(PropertyBag, ListsAreReadElementByElement) {
    MO_PropertyBag bag;
    bag.set("xValues", std::vector<double>{0, 5, 10});
    bag.set("empty", std::vector<double>{});
    bag.set("single", 4.0);
    EXPECT_EQ(bag.valueCount("xValues"), 3);
    EXPECT_EQ(bag.getDouble("xValues", -1, 0), 0.0);
    EXPECT_EQ(bag.getDouble("xValues", -1, 2), 10.0);
    EXPECT_EQ(bag.getDouble("xValues", -1, 3), -1.0);
    EXPECT_EQ(bag.getDouble("xValues", -1, -1), -1.0);
    EXPECT_EQ(bag.valueCount("empty"), 0);
    EXPECT_TRUE(bag.hasProperty("empty"));
    EXPECT_EQ(bag.getDouble("single", -1, 0), 4.0);
    EXPECT_EQ(bag.getDouble("single", -1, 1), -1.0);
    // A point reads the first two numbers of a list.
    EXPECT_EQ(bag.getPoint("xValues", {}).y, 5.0);
    EXPECT_TRUE(bag.remove("xValues"));
    EXPECT_FALSE(bag.hasProperty("xValues"));
}
