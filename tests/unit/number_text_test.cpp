#include "batch/outputs/number_text.h"

#include "batch/inputs/text_numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>

namespace {

std::string printed(double v)
{
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%lf", v);
    return buffer;
}

double fromBits(uint64_t bits)
{
    double v = 0.0;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

TEST(NumberText, SameAsPrintf)
{
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<double> values = {0.0,
                                  -0.0,
                                  -1e-9,
                                  1e-7,
                                  -1e-7,
                                  0.0000005,
                                  -0.0000005,
                                  0.0000015,
                                  -0.0000004,
                                  0.0000004999999999,
                                  0.5,
                                  -2.5,
                                  1e15,
                                  -1e15,
                                  4503599627370495.5,  // just below 2^52, the largest with a half
                                  4503599627370496.0,
                                  9007199254740993.0,
                                  1.8446744073709552e13,  // a million times it is about 2^64
                                  1e300,
                                  -1e-300,
                                  475123.1234565,
                                  inf,
                                  -inf,
                                  std::numeric_limits<double>::quiet_NaN(),
                                  -std::numeric_limits<double>::quiet_NaN(),
                                  std::numeric_limits<double>::max(),
                                  std::numeric_limits<double>::min(),
                                  std::numeric_limits<double>::denorm_min()};
    // Exact ties at the sixth decimal (k / 128 has seven decimals ending in 5).
    for (int k = -300; k <= 300; ++k)
        values.push_back(k / 128.0);
    std::mt19937_64 random(5);
    for (int i = 0; i < 20000; ++i) {
        const double unit = static_cast<double>(random() >> 11) / 9007199254740992.0;
        values.push_back((unit - 0.5) * std::pow(10.0, static_cast<double>(random() % 14) - 4.0));
    }
    // Values next to a half of the sixth decimal, where the product by a million in double
    // precision cannot tell the way to round, and any bit pattern at all.
    for (int i = 0; i < 20000; ++i) {
        const double half = (static_cast<double>(random() % 2000000000) + 0.5) / 1e6;
        values.push_back(std::nextafter(half, 0.0));
        values.push_back(half);
        values.push_back(std::nextafter(half, 1e300));
        values.push_back(fromBits(random()));
    }
    for (double v : values) {
        std::string text;
        appendFixed6(text, v);
        ASSERT_EQ(text, printed(v)) << v;
    }
    for (int32_t v : {0, -1, 42, INT32_MAX, INT32_MIN}) {
        std::string text;
        appendInteger(text, v);
        EXPECT_EQ(text, std::to_string(v));
    }
}

TEST(NumberText, PlainFixedTextReadsBackAsTheReaderReadsIt)
{
    // Coordinates of every size a scan holds, ties of the sixth decimal, signed zeros:
    // the value without parsing (read from the text, or handed back by the writer) is the
    // reader's, bit for bit; other text is left to it.
    std::mt19937_64 random(9);
    std::vector<double> values = {0.0, -0.0, 1e-7, -4e-7, 0.0000005, 2.5e-6, 123456.0000005, 9007199253.5};
    for (int i = 0; i < 200000; ++i) {
        const double scale = std::pow(10.0, static_cast<double>(random() % 12) - 3.0);
        values.push_back((static_cast<double>(random() % 2000000) / 1000000.0 - 1.0) * scale);
    }
    char text[FIXED6_MAX_CHARS];
    for (double v : values) {
        double handedBack = 0.0;
        const char* end = writeFixed6(text, v, &handedBack);
        const std::string shown(static_cast<const char*>(text), end);
        double fast = 0.0, read = 0.0;
        ASSERT_TRUE(fixed6TextValue(text, end, fast)) << shown;
        readReal(text, end, read);
        ASSERT_EQ(std::memcmp(&fast, &read, sizeof fast), 0) << shown;
        ASSERT_EQ(std::memcmp(&handedBack, &read, sizeof read), 0) << shown;
    }
    for (double v : {9007199254.740992, 1e300, std::nan(""), -HUGE_VAL}) {
        double handedBack = 0.0;
        const char* end = writeFixed6(text, v, &handedBack);
        const std::string shown(static_cast<const char*>(text), end);
        double fast = 0.0;
        EXPECT_FALSE(fixed6TextValue(text, end, fast)) << shown;
        EXPECT_TRUE(std::isnan(handedBack)) << shown;
    }
}

}  // namespace
