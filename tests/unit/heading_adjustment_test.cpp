#include "batch/engine/heading_adjustment.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

PairObservation pair(int32_t a, int32_t b, double relative, double common, double relativeSigma, double commonSigma,
                     double correlation = 0.0)
{
    return {a, b, relative, relativeSigma, common, commonSigma, correlation};
}

// One pair fixes its two scans alone: x1 = c - r/2 and x2 = c + r/2, whose variances
// follow from those of r and c and their correlation by the same linear map.
TEST(HeadingAdjustment, OnePairGivesBothScansAndTheirVariances)
{
    const double sr = 0.002, sc = 0.006, rho = 0.5;
    const HeadingAdjustment a = adjustHeadings(3, {pair(0, 2, 0.01, -0.02, sr, sc, rho)}, 3.0);
    EXPECT_NEAR(a.correction[0], -0.025, 1e-12);
    EXPECT_NEAR(a.correction[2], -0.015, 1e-12);
    EXPECT_EQ(a.correction[1], 0.0);  // no pair holds scan 1
    EXPECT_TRUE(std::isnan(a.sigma[1]));
    EXPECT_EQ(a.pairsUsed[1], 0);
    const double v1 = sc * sc + sr * sr / 4.0 - rho * sr * sc, v2 = sc * sc + sr * sr / 4.0 + rho * sr * sc;
    EXPECT_NEAR(a.sigma[0], std::sqrt(v1), 1e-12);
    EXPECT_NEAR(a.sigma[2], std::sqrt(v2), 1e-12);
    EXPECT_EQ(a.varianceFactor, 1.0);  // nothing over-determined
}

// A chain whose relative headings agree and whose common turns scatter evenly about the
// truth keeps every relative heading and takes the truth's overall turn.
TEST(HeadingAdjustment, ChainKeepsItsRelativeHeadings)
{
    const double x[3] = {0.001, 0.004, -0.002};
    const HeadingAdjustment a = adjustHeadings(3,
                                               {pair(0, 1, x[1] - x[0], 0.5 * (x[0] + x[1]) + 0.001, 1e-5, 0.01),
                                                pair(1, 2, x[2] - x[1], 0.5 * (x[1] + x[2]) - 0.001, 1e-5, 0.01)},
                                               3.0);
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(a.correction[static_cast<std::size_t>(k)], x[k], 1e-9) << k;
}

// Around a loop of four equally good relative headings the misclosure is shared out
// evenly, a quarter to each; a fifth pair across the loop that is off by far more than
// its own standard error is rejected, and the loop comes out as without it.
TEST(HeadingAdjustment, LoopSharesItsMisclosureAndRejectsAPairThatDoesNotFit)
{
    const double s = 1e-4, weak = 1.0, misclosure = 4e-4;
    std::vector<PairObservation> loop = {pair(0, 1, 0.010, 0.0, s, weak), pair(1, 2, 0.020, 0.0, s, weak),
                                         pair(2, 3, -0.005, 0.0, s, weak),
                                         pair(3, 0, -0.025 + misclosure, 0.0, s, weak)};
    const HeadingAdjustment fair = adjustHeadings(4, loop, 3.0);
    const double shares[4] = {0.010, 0.020, -0.005, -0.025 + misclosure};
    for (int k = 0; k < 4; ++k) {
        const std::size_t i = static_cast<std::size_t>(k), j = static_cast<std::size_t>((k + 1) % 4);
        EXPECT_NEAR(fair.correction[j] - fair.correction[i], shares[k] - misclosure / 4.0, 1e-9) << k;
    }
    EXPECT_TRUE(fair.rejected.empty());

    loop.push_back(pair(0, 2, 0.030 + 0.005, 0.0, s, weak));  // 0.005 rad off: 50 sigmas
    const HeadingAdjustment planted = adjustHeadings(4, loop, 3.0);
    ASSERT_EQ(planted.rejected.size(), 1u);
    EXPECT_EQ(planted.rejected[0].observation, 4);
    EXPECT_GT(planted.rejected[0].sigmas, 10.0);
    // Its residual is taken in the fit it was still part of, which it pulled towards itself.
    EXPECT_GT(planted.rejected[0].residual, 0.002);
    EXPECT_LT(planted.rejected[0].residual, 0.005);
    for (std::size_t k = 0; k < 4; ++k) {
        EXPECT_NEAR(planted.correction[k], fair.correction[k], 1e-9) << k;
        EXPECT_EQ(planted.pairsUsed[k], 2) << k;
    }
}

}  // namespace
