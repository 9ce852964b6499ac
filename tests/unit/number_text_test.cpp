#include "batch/outputs/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>

namespace {

std::string printed(double v)
{
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%lf", v);
    return buffer;
}

TEST(NumberText, SameAsPrintf)
{
    std::vector<double> values = {0.0,
                                  -0.0,
                                  -1e-9,
                                  1e-7,
                                  0.5,
                                  -2.5,
                                  1e300,
                                  -1e-300,
                                  475123.1234565,
                                  std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::quiet_NaN(),
                                  std::numeric_limits<double>::max()};
    // Exact ties at the sixth decimal (k / 128 has seven decimals ending in 5).
    for (int k = -300; k <= 300; ++k)
        values.push_back(k / 128.0);
    std::mt19937_64 random(5);
    for (int i = 0; i < 20000; ++i) {
        const double unit = static_cast<double>(random() >> 11) / 9007199254740992.0;
        values.push_back((unit - 0.5) * std::pow(10.0, static_cast<double>(random() % 14) - 4.0));
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
