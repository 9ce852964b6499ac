#include "batch/outputs/number_text.h"

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

}  // namespace
