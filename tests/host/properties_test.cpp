#include "host/scene/MO_PropertyAccessor.h"

#include <gtest/gtest.h>

#include <limits>
#include <tuple>

namespace {

// One bag for every case: a read of a missing key, or of a value of the wrong shape, must
// fall back to the caller's default rather than to whatever else is stored.
struct PropertyBag : ::testing::Test {
    PropertyBag() {
        bag.set("s", QString("text"));
        bag.set("list", std::vector<double>{1, 2, 3});
        bag.set("nan", std::numeric_limits<double>::quiet_NaN());
        bag.set("huge", 1e300);
        bag.set("size", 10.9);
        bag.set("neg", -2.7);
        bag.set("on", true);
        bag.set("zero", 0.0);
        bag.setColor("color", VS_RGBA(255, 0, 128, 10));
        bag.set("wild", std::vector<double>{300, -5, 127.6, 0});
        bag.set("xValues", std::vector<double>{0, 5, 10});
        bag.set("empty", std::vector<double>{});
        bag.set("single", 4.0);
    }
    MO_PropertyBag bag;
};

}  // namespace

TEST_F(PropertyBag, NumbersAreReadElementByElementOrFallBack) {
    const std::tuple<const char*, int, double> doubles[] = {
        {"length", 0, -1},  {"s", 0, -1},        {"on", 0, 1},     {"xValues", 0, 0}, {"xValues", 2, 10},
        {"xValues", 3, -1}, {"xValues", -1, -1}, {"single", 0, 4}, {"single", 1, -1},
    };
    for (const auto& [key, index, expected] : doubles)
        EXPECT_EQ(bag.getDouble(key, -1, index), expected) << key << "[" << index << "]";
    // Truncated, not rounded; values no int holds are no int at all.
    const std::tuple<const char*, int> ints[] = {{"size", 10}, {"neg", -2}, {"nan", -1}, {"huge", -1}, {"s", -1}};
    for (const auto& [key, expected] : ints)
        EXPECT_EQ(bag.getInt(key, -1), expected) << key;
    const std::tuple<const char*, bool, bool> bools[] = {
        {"flag", true, true}, {"nan", true, true}, {"on", false, true}, {"zero", true, false}};
    for (const auto& [key, def, expected] : bools)
        EXPECT_EQ(bag.getBool(key, def), expected) << key;
    const std::tuple<const char*, int> counts[] = {{"length", 0}, {"size", 1}, {"xValues", 3}, {"empty", 0}};
    for (const auto& [key, expected] : counts)
        EXPECT_EQ(bag.valueCount(key), expected) << key;
    bool found = true;
    EXPECT_EQ(bag.getInt("count", 7, &found), 7);
    EXPECT_FALSE(found);
}

TEST_F(PropertyBag, PointsColoursAndStrings) {
    EXPECT_EQ(bag.getPoint("p", {1, 2}).y, 2.0);
    EXPECT_EQ(bag.getPoint("s", {9, 9}).x, 9.0);
    EXPECT_EQ(bag.getPoint("xValues", {}).y, 5.0);  // the first two numbers of a list
    EXPECT_EQ(bag.getColor("none", VS_RGBA(1, 2, 3, 4)), VS_RGBA(1, 2, 3, 4));
    EXPECT_EQ(bag.getColor("list", VS_RGBA(9, 9, 9, 9)), VS_RGBA(1, 2, 3, 255));  // three channels: opaque
    EXPECT_EQ(bag.getColor("color", {}), VS_RGBA(255, 0, 128, 10));
    EXPECT_EQ(bag.getColor("wild", {}), VS_RGBA(255, 0, 128, 0));  // clamped and rounded
    EXPECT_EQ(bag.getString("name", "x"), "x");
    EXPECT_EQ(bag.getString("list", "d"), "d");
    EXPECT_TRUE(bag.hasProperty("empty"));
    EXPECT_TRUE(bag.remove("xValues"));
    EXPECT_FALSE(bag.hasProperty("xValues"));
    EXPECT_FALSE(bag.hasProperty("length"));
}
