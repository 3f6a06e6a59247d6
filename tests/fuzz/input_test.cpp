#include "fuzz/fuzz_input.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

fuzz::Input over(const std::vector<std::uint8_t>& bytes) {
    return fuzz::Input(bytes.data(), bytes.size());
}

}  // namespace

// A case must stay whole and small when the bytes run out, or short inputs would read
// past their end or build nothing.
TEST(FuzzInput, RunningOutGivesTheSmallestChoices) {
    fuzz::Input in(nullptr, 0);
    EXPECT_TRUE(in.exhausted());
    EXPECT_EQ(in.byte(), 0);
    EXPECT_FALSE(in.flag());
    EXPECT_EQ(in.between(-5, 9), -5);
    const int table[] = {7, 8, 9};
    EXPECT_EQ(in.pick(table), 7);
    EXPECT_EQ(in.text(10), "");
    // Selector 0 picks the first edge number, a plain zero.
    const double d = in.number();
    EXPECT_EQ(d, 0.0);
    EXPECT_FALSE(std::signbit(d));

    // Text takes a length byte (200 % 9 = 2 characters), then no more than is left.
    const std::vector<std::uint8_t> bytes{200, 'a', 'b', 'c'}, shortBytes{7, 'x'};
    EXPECT_EQ(over(bytes).text(8), "ab");
    EXPECT_EQ(over(shortBytes).text(8), "x");
}

TEST(FuzzInput, WholeNumbersStayInTheirRangeAndReachBothEnds) {
    bool low = false, high = false;
    for (int b = 0; b < 256; ++b) {
        const int v = over({static_cast<std::uint8_t>(b)}).between(3, 9);
        ASSERT_GE(v, 3);
        ASSERT_LE(v, 9);
        low = low || v == 3;
        high = high || v == 9;
    }
    EXPECT_TRUE(low && high);
    // A range wider than one byte takes as many as it needs, and the full int range works.
    const std::vector<std::uint8_t> bytes{0xff, 0xff, 0xff, 0xff, 0x01};
    fuzz::Input in = over(bytes);
    EXPECT_EQ(in.between(INT32_MIN, INT32_MAX), INT32_MAX);
    EXPECT_EQ(in.remaining(), 1u);
    // An empty span (low == high) costs no byte.
    EXPECT_EQ(in.between(4, 4), 4);
    EXPECT_EQ(in.remaining(), 1u);
}

TEST(FuzzInput, NumbersReachEdgesRawBitPatternsAndKeepTheirBounds) {
    bool nan = false, inf = false, negativeZero = false;
    for (std::size_t i = 0; i < std::size(fuzz::kEdgeNumbers); ++i) {
        // Selector 0 (edge table), then the index.
        const double d = over({0, static_cast<std::uint8_t>(i)}).number();
        nan = nan || std::isnan(d);
        inf = inf || std::isinf(d);
        negativeZero = negativeZero || (d == 0.0 && std::signbit(d));
    }
    EXPECT_TRUE(nan && inf && negativeZero);

    // Selector 3 reads eight bytes, most significant first.
    const double expected = -1234.5678e-200;
    std::uint64_t bits;
    std::memcpy(&bits, &expected, sizeof bits);
    std::vector<std::uint8_t> bytes{3};
    for (int shift = 56; shift >= 0; shift -= 8)
        bytes.push_back(static_cast<std::uint8_t>(bits >> shift));
    fuzz::Input in = over(bytes);
    EXPECT_EQ(in.number(), expected);
    EXPECT_TRUE(in.exhausted());

    for (int a = 0; a < 256; ++a)
        for (int b = 0; b < 256; b += 5) {
            const std::vector<std::uint8_t> some{
                static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b), 0x7f, 0xf0, 0, 0, 0, 0, 1, 0};
            ASSERT_TRUE(std::isfinite(over(some).finite())) << a << " " << b;
            const double m = over(some).moderate(100.0);
            ASSERT_TRUE(std::isfinite(m));
            ASSERT_LE(std::fabs(m), 100.0) << a << " " << b;
        }
}
