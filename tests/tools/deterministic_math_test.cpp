#include "tools/deterministic_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

// The 53-bit construction from two raw draws is the reference generator's genrand_res53;
// with the reference seed 5489 its first values are published (0.8147236863931789,
// 0.9057919370756192, 0.1269868162935061), which pins the bit assembly on every platform.
TEST(DeterministicMath, Uniform01MatchesReferenceResolution53)
{
    std::mt19937 gen(5489u);
    const double expected[] = {0.8147236863931789, 0.9057919370756192, 0.1269868162935061};
    for (double e : expected) {
        EXPECT_NEAR(uniform01(gen), e, 1e-15);
    }
}

TEST(DeterministicMath, SinCosMatchLibrary)
{
    const double xs[] = {0.0,
                         1e-9,
                         -1e-9,
                         0.5,
                         0.7853981633974483,
                         1.5707963267948966,
                         2.0,
                         -2.5,
                         3.141592653589793,
                         4.71238898038469,
                         6.283185307179586,
                         -7.5,
                         100.25,
                         12345.678};
    for (double x : xs) {
        SCOPED_TRACE(x);
        const double tol = 4e-16 * std::max(1.0, std::fabs(x));
        EXPECT_NEAR(detSin(x), std::sin(x), tol);
        EXPECT_NEAR(detCos(x), std::cos(x), tol);
    }
}

TEST(DeterministicMath, LogMatchesLibrary)
{
    const double xs[] = {1e-300, 1e-10, 0.001, 0.5, 0.70710678, 0.7071068, 1.0, 1.0000001, 2.0, 2.718281828459045,
                         10.0,   1e10,  1e300};
    for (double x : xs) {
        SCOPED_TRACE(x);
        EXPECT_NEAR(detLog(x), std::log(x), 4e-16 * std::max(1.0, std::fabs(std::log(x))));
    }
}

TEST(DeterministicMath, DrawsHaveTheirDistributions)
{
    std::mt19937 gen(streamSeed(7, 3));
    const int32_t n = 200000;
    double sum = 0.0;
    double sumSq = 0.0;
    int32_t beyondTwo = 0;
    int32_t counts[7] = {};
    for (int32_t i = 0; i < n; ++i) {
        const double g = gaussian(gen);
        sum += g;
        sumSq += g * g;
        beyondTwo += std::fabs(g) > 2.0 ? 1 : 0;
        ++counts[uniformIndex(gen, 7)];
        const double u = uniformIn(gen, -3.0, 5.0);
        ASSERT_GE(u, -3.0);
        ASSERT_LT(u, 5.0);
    }
    EXPECT_NEAR(sum / n, 0.0, 0.01);
    EXPECT_NEAR(sumSq / n, 1.0, 0.01);
    EXPECT_NEAR(static_cast<double>(beyondTwo) / n, 0.0455, 0.002);  // two-sided 2-sigma tail
    for (int32_t k = 0; k < 7; ++k) {
        SCOPED_TRACE(k);
        EXPECT_NEAR(counts[k], n / 7.0, 5.0 * std::sqrt(n / 7.0));
    }
}

TEST(DeterministicMath, StreamsAreDistinct)
{
    EXPECT_NE(streamSeed(1, 1), streamSeed(1, 2));
    EXPECT_NE(streamSeed(1, 1), streamSeed(2, 1));
    EXPECT_EQ(streamSeed(9, 4), streamSeed(9, 4));
}
