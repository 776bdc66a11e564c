#include <gtest/gtest.h>

#include <charconv>
#include <cstring>
#include <random>
#include <string>

#include "framework/FloatText.h"
#include "framework/FormStream.h"

using namespace fw;

namespace {

uint64_t DoubleBits(std::string_view s) {
    double d = 0;
    EXPECT_TRUE(DecimalToDouble(s, d)) << s;
    uint64_t b;
    std::memcpy(&b, &d, 8);
    return b;
}

uint32_t SingleBits(std::string_view s) {
    float f = 0;
    EXPECT_TRUE(DecimalToSingle(s, f)) << s;
    uint32_t b;
    std::memcpy(&b, &f, 4);
    return b;
}

TExtended80 Ext(std::initializer_list<int> bytes) {
    TExtended80 e;
    int i = 0;
    for (int b : bytes) e.bytes[i++] = static_cast<uint8_t>(b);
    return e;
}

}  // namespace

TEST(FloatText, KnownValues) {
    TExtended80 e;
    ASSERT_TRUE(DecimalToExtended("0.1", e));
    EXPECT_EQ(e, Ext({0xCD, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xFB, 0x3F}));
    ASSERT_TRUE(DecimalToExtended("12.500000000000000000", e));
    EXPECT_EQ(e, Ext({0, 0, 0, 0, 0, 0, 0, 0xC8, 0x02, 0x40}));
    ASSERT_TRUE(DecimalToExtended("-0.0", e));
    EXPECT_EQ(e, Ext({0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80}));
    ASSERT_TRUE(DecimalToExtended("1e4932", e));
    EXPECT_FALSE(DecimalToExtended("1.2e4932", e));  // beyond the largest extended value
    ASSERT_TRUE(DecimalToExtended("3.6e-4951", e));  // least subnormal
    EXPECT_EQ(e, Ext({1, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    ASSERT_TRUE(DecimalToExtended("1e-5000", e));
    EXPECT_EQ(e, Ext({0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

    EXPECT_EQ(DoubleBits("0.1"), 0x3FB999999999999Aull);
    EXPECT_EQ(DoubleBits("45000.25"), 0x40E5F90800000000ull);
    // Halfway between two doubles: ties to even; anything beyond the half rounds up.
    EXPECT_EQ(DoubleBits("9007199254740993"), 0x4340000000000000ull);
    EXPECT_EQ(DoubleBits("9007199254740995"), 0x4340000000000002ull);
    EXPECT_EQ(DoubleBits("9007199254740993.0000000000000000000000000000000000000000000000000000000000000001"),
              0x4340000000000001ull);
    EXPECT_EQ(DoubleBits("1.7976931348623157e308"), 0x7FEFFFFFFFFFFFFFull);
    double d;
    EXPECT_FALSE(DecimalToDouble("1.8e308", d));
    EXPECT_EQ(DoubleBits("4.9406564584124654e-324"), 1u);
    EXPECT_EQ(DoubleBits("2.4703282292062327e-324"), 0u);
    EXPECT_EQ(DoubleBits("2.4703282292062328e-324"), 1u);
    EXPECT_EQ(DoubleBits("2.2250738585072011e-308"), 0x000FFFFFFFFFFFFFull);
    EXPECT_EQ(DoubleBits("2.2250738585072014e-308"), 0x0010000000000000ull);
    EXPECT_EQ(SingleBits("12.5"), 0x41480000u);
    EXPECT_EQ(SingleBits("1e-45"), 1u);
    EXPECT_EQ(SingleBits("3.4028235e38"), 0x7F7FFFFFu);
    EXPECT_EQ(SingleBits("16777217"), 0x4B800000u);
    float f;
    EXPECT_FALSE(DecimalToSingle("3.5e38", f));

    for (const char* bad : {"", "-", ".", "1e", "1e+", "1.2.3", "+1", "1-2", "0x10", " 1", "1 ", "nan"})
        EXPECT_FALSE(DecimalToDouble(bad, d)) << bad;
    EXPECT_EQ(DoubleBits("1."), 0x3FF0000000000000ull);
    EXPECT_EQ(DoubleBits("00012E-3"), DoubleBits("0.012"));
}

// Shortest digits of random values read back to the same bits, for every width.
TEST(FloatText, RandomValuesRoundTrip) {
    std::mt19937_64 rng(12345);
    char buf[128];
    for (int i = 0; i < 5000; ++i) {
        uint64_t bits = rng();
        double d;
        std::memcpy(&d, &bits, 8);
        if (d != d || d - d != 0) continue;
        auto r = std::to_chars(buf, buf + sizeof buf, d);
        double back = 0;
        ASSERT_TRUE(DecimalToDouble(std::string_view(buf, r.ptr - buf), back)) << std::string(buf, r.ptr);
        ASSERT_EQ(std::memcmp(&back, &d, 8), 0) << std::string(buf, r.ptr);

        float f;
        uint32_t fb = static_cast<uint32_t>(bits);
        std::memcpy(&f, &fb, 4);
        if (f == f && f - f == 0) {
            r = std::to_chars(buf, buf + sizeof buf, f);
            float fback = 0;
            ASSERT_TRUE(DecimalToSingle(std::string_view(buf, r.ptr - buf), fback)) << std::string(buf, r.ptr);
            ASSERT_EQ(std::memcmp(&fback, &f, 4), 0) << std::string(buf, r.ptr);
        }

        // A normal extended value with a random significand and a random exponent.
        TExtended80 e;
        uint64_t m = rng() | (uint64_t(1) << 63);
        for (int k = 0; k < 8; ++k) e.bytes[k] = static_cast<uint8_t>(m >> (8 * k));
        uint16_t se = static_cast<uint16_t>(1 + rng() % 32766) | static_cast<uint16_t>((bits & 1) << 15);
        e.bytes[8] = static_cast<uint8_t>(se);
        e.bytes[9] = static_cast<uint8_t>(se >> 8);
        std::string text = ExtendedToText(e);
        TExtended80 eback;
        ASSERT_TRUE(DecimalToExtended(text, eback)) << text;
        ASSERT_EQ(eback, e) << text;
    }
}
