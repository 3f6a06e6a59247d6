#include "host/scene/LXTimedValue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>

namespace {

template <class TV>
TV curve(std::initializer_list<std::pair<double, double>> keys) {
    TV tv;
    for (const auto& k : keys) {
        LXCtrlPt p;
        p.frame = k.first;
        p.value = k.second;
        tv.controlPoints().insert(p);
    }
    return tv;
}

}  // namespace

// Every kind's values at, between and beyond its keys are played by tests/scenes/curves.json;
// what a scene cannot show is whether the smooth curve has a corner at an inner key.
TEST(TimedValue, SmoothCurveHasNoCornerAtAnInnerKey) {
    const auto smooth = curve<LXBezierTimedValue>({{0, 0}, {10, 10}, {20, 0}, {30, 5}});
    const double h = 1e-6;
    const double left = (smooth.evaluate(10) - smooth.evaluate(10 - h)) / h;
    const double right = (smooth.evaluate(10 + h) - smooth.evaluate(10)) / h;
    EXPECT_NEAR(left, right, 1e-4);
    EXPECT_NEAR(curve<LXBezierTimedValue>({{0, 0}, {4, 8}}).evaluate(1), 2.0, 1e-12);  // two keys: a line
}

TEST(TimedValue, VelocityEasingKeepsEndsAndSymmetry) {
    auto velo = curve<LXVeloBasedTimedValue>({{0, 0}, {10, 100}});
    velo.controlPoints()[0].easeOut = 0.5;
    velo.controlPoints()[1].easeIn = 0.5;
    EXPECT_NEAR(velo.evaluate(5), 50.0, 1e-9);
    EXPECT_LT(velo.evaluate(1), 10.0);  // slow start
    EXPECT_GT(velo.evaluate(9), 90.0);  // slow finish
    // Eases that add up to more than the segment are scaled down together and still meet
    // in its middle.
    velo.controlPoints()[0].easeOut = 0.75;
    velo.controlPoints()[1].easeIn = 0.75;
    EXPECT_NEAR(velo.evaluate(5), 50.0, 1e-9);
    EXPECT_NEAR(velo.evaluate(2) + velo.evaluate(8), 100.0, 1e-9);
    double last = 0;
    for (int i = 0; i <= 100; ++i) {
        const double s = LXVeloBasedTimedValue::travelled(i / 100.0, 0.3, 0.8);  // overlapping shares
        EXPECT_GE(s, last - 1e-12);
        last = s;
    }
    EXPECT_NEAR(last, 1.0, 1e-12);
    EXPECT_NEAR(LXVeloBasedTimedValue::travelled(0.37, 0, 0), 0.37, 1e-15);
    // Shares outside [0, 1], as a file may hold, count as the nearest end of it.
    for (const double t : {0.1, 0.5, 0.95}) {
        EXPECT_NEAR(LXVeloBasedTimedValue::travelled(t, -0.5, 1.5), LXVeloBasedTimedValue::travelled(t, 0, 1), 1e-12)
            << t;
        EXPECT_NEAR(LXVeloBasedTimedValue::travelled(t, 1.5, -0.5), LXVeloBasedTimedValue::travelled(t, 1, 0), 1e-12)
            << t;
    }
}

TEST(TimedValue, SetValueKeysOnlyWhenNeededOrForced) {
    auto tv = curve<LXFnc2DTimedValue>({{0, 0}, {10, 10}});
    EXPECT_TRUE(tv.setValue(5, 5.0, false, false));  // already the curve's value
    EXPECT_FALSE(tv.hasControlPointAt(5));
    EXPECT_TRUE(tv.setValue(5, 5.0, false, true));
    EXPECT_TRUE(tv.hasControlPointAt(5));
    EXPECT_TRUE(tv.setValue(7, 1.0, false, false));
    EXPECT_EQ(tv.controlPoints().size(), 4u);
    EXPECT_TRUE(tv.setValue(7, 2.0, false, false));  // changes the key in place
    EXPECT_EQ(tv.controlPoints().size(), 4u);
    EXPECT_EQ(tv.evaluate(7), 2.0);

    bool found = true;
    std::size_t slot = 99;
    EXPECT_NE(tv.findControlPoint(7, &slot, nullptr, found, nullptr), nullptr);
    EXPECT_TRUE(found);
    EXPECT_EQ(slot, 2u);
    EXPECT_EQ(tv.findControlPoint(7.5, nullptr, nullptr, found, nullptr), nullptr);
    EXPECT_FALSE(found);
}

TEST(TimedValue, WritingAKeyKeepsItsSegmentKind) {
    // Undo writes the old value back with the flags of the edit: the key's hold must not
    // depend on them, or a held key would come back loose.
    auto tv = curve<LXEaseTimedValue>({{0, 1}, {10, 5}});
    tv.controlPoints()[0].constantSegment = true;
    EXPECT_EQ(tv.evaluate(9.999), 1.0);  // a held key holds until the next
    EXPECT_EQ(tv.evaluate(10), 5.0);
    EXPECT_TRUE(tv.setValue(0, 2.0, false, false));
    EXPECT_TRUE(tv.controlPoints()[0].constantSegment);
    EXPECT_TRUE(tv.setValue(10, 6.0, true, false));
    EXPECT_FALSE(tv.controlPoints()[1].constantSegment);
    // A key made by the write takes the flag it is given.
    EXPECT_TRUE(tv.setValue(4, 9.0, true, false));
    EXPECT_TRUE(tv.controlPoints()[1].constantSegment);
}

TEST(TimedValue, ControlPointsStaySortedUnderRandomEdits) {
    LXBezierTimedValue tv;
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> frame(-500, 500);
    for (int i = 0; i < 5000; ++i) {
        const double f = frame(rng);
        tv.setValue(f, f * 2.0, false, true);
    }
    const LXCtrlPts& pts = tv.controlPoints();
    for (std::size_t i = 1; i < pts.size(); ++i)
        ASSERT_LT(pts[i - 1].frame, pts[i].frame);
    for (const LXCtrlPt& p : pts)
        ASSERT_EQ(tv.evaluate(p.frame), p.frame * 2.0);

    auto it = tv.controlPoints().getLowerBound(0.5);
    ASSERT_NE(it, tv.controlPoints().end());
    EXPECT_GE(it->frame, 0.5);
    EXPECT_LT((it - 1)->frame, 0.5);
    tv.controlPoints().erase(it);
    EXPECT_EQ(tv.keys().size(), pts.size());
}

// Expression curves stand for values a script computes: samples taken in any order, read
// as straight lines between them and held flat beyond the first and the last.
TEST(TimedValue, ExpressionSamplesAreJoinedByLinesAndHeldAtTheEnds) {
    const LXExprTimedValue expr({{10, 12}, {0, 2}, {20, 4}});
    EXPECT_EQ(expr.evaluate(-5), 2.0);
    EXPECT_EQ(expr.evaluate(0), 2.0);
    EXPECT_DOUBLE_EQ(expr.evaluate(2.5), 4.5);
    EXPECT_EQ(expr.evaluate(10), 12.0);
    EXPECT_DOUBLE_EQ(expr.evaluate(15), 8.0);
    EXPECT_EQ(expr.evaluate(30), 4.0);
    EXPECT_EQ(LXExprTimedValue({}).evaluate(3), 0.0);
}

// The scene renderer leaves a moving node unplaced while where its curves can take it is out
// of view, so a curve's range must hold every value it takes, between its keys (where the
// smooth kind overshoots them) and beyond them; and it reaches its keys' values.
TEST(TimedValue, RangeHoldsEveryValueOfEveryKind) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> value(-50.0, 50.0), share(0.0, 0.8);
    for (int round = 0; round < 200; ++round) {
        std::vector<std::unique_ptr<LXTimedValue>> kinds;
        kinds.push_back(std::make_unique<LXBezierTimedValue>(round % 2 == 0));
        kinds.push_back(std::make_unique<LXEaseTimedValue>());
        kinds.push_back(std::make_unique<LXVeloBasedTimedValue>());
        kinds.push_back(std::make_unique<LXFnc2DTimedValue>());
        std::vector<std::pair<double, double>> samples;
        double lowest = HUGE_VAL, highest = -HUGE_VAL, f = 0.0;
        for (int k = 0, n = 1 + round % 6; k < n; ++k) {
            LXCtrlPt p;
            p.frame = f += 0.5 + share(rng) * 10.0;
            p.value = value(rng);
            p.constantSegment = rng() % 5 == 0;
            p.easeIn = share(rng), p.easeOut = share(rng);
            for (auto& kind : kinds)
                kind->controlPoints().insert(p);
            samples.emplace_back(p.frame, p.value);
            lowest = std::min(lowest, p.value), highest = std::max(highest, p.value);
        }
        kinds.push_back(std::make_unique<LXExprTimedValue>(samples));
        for (const auto& kind : kinds) {
            double lo = 0.0, hi = 0.0;
            ASSERT_TRUE(kind->range(lo, hi));
            EXPECT_LE(lo, lowest);
            EXPECT_GE(hi, highest);
            for (double t = -2.0; t < f + 2.0; t += 0.01) {
                const double v = kind->evaluate(t);
                ASSERT_TRUE(lo <= v && v <= hi) << "round " << round << " at " << t << ": " << v << " outside [" << lo
                                                << ", " << hi << "]";
            }
        }
    }
    double lo = 0.0, hi = 0.0;
    EXPECT_FALSE(LXExprTimedValue({{0, 1}, {2, NAN}}).range(lo, hi)) << "no bound from a value that is no number";
    EXPECT_FALSE(LXBezierTimedValue().range(lo, hi)) << "no bound from no key";
}
