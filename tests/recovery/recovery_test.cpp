// The three solution methods on pairs of the example survey, whose heading errors
// are known: each must find the relative heading of the pair and bring the pair to
// the agreement the true headings give.

#include "tests/recovery/recovery_fixture.h"

#include "batch/constants.h"
#include "batch/engine/pairing.h"
#include "batch/engine/search_cubes.h"
#include "batch/engine/transform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

namespace {

// Mean RMS of both directions with MAXDISTFINAL, after turning the prepared scans
// by the given rotations (degrees) about their scanners: one measure for any result.
double agreement(const RegSettings& s, const std::vector<ScanRecord>& scans, PairContext& pair, double rotation1,
                 double rotation2)
{
    const ScanRecord& a = scans[static_cast<std::size_t>(pair.scan1Index)];
    const ScanRecord& b = scans[static_cast<std::size_t>(pair.scan2Index)];
    std::vector<CubePoint> one, two;
    rotatedCopy(pair.scan1.points, one, rotation1 * DEG_TO_RAD, a.x, a.y);
    rotatedCopy(pair.scan2.points, two, rotation2 * DEG_TO_RAD, b.x, b.y);
    const ScanExtent box = overlapOf(computeExtent(one), computeExtent(two));
    int32_t cubes = 0;
    CubeSortBuffers buffers;
    if (!assignCubes(one, box, s.ZMIN, s, cubes) || !assignCubes(two, box, s.ZMIN, s, cubes))
        return 999.0;
    sortByCube(one, buffers);
    sortByCube(two, buffers);
    std::vector<int32_t> candidates;
    const double r12 = computePairRms(s, {one, two, cubes, s.ZMIN}, s.MAXDISTFINAL, candidates).rms;
    const double r21 = computePairRms(s, {two, one, cubes, s.ZMIN}, s.MAXDISTFINAL, candidates).rms;
    return 0.5 * (r12 + r21);
}

enum class Method { IterativeSearch, PartialLeastSquares, PingPong, PointToPlane };

struct Outcome {
    double headingError = 0.0;  ///< degrees: found relative heading minus the true one
    double error1 = 0.0;        ///< degrees: scan 1's rotation found minus its true correction
    double error2 = 0.0;        ///< degrees: the same for scan 2
    double rms = 0.0;           ///< metres, agreement with the rotations found
    double trueRms = 0.0;       ///< metres, agreement with the true headings
    int64_t walks = 0;          ///< pairing walks the method made
    double finalStep = 0.0;     ///< degrees, the iterative search's last step
};

// Registers the pair (scan `i`, its south/west neighbour) with `method` under
// `settings` and compares the result with the truth.
Outcome register_(GeneratedSurvey& survey, const RegSettings& settings, Method method, int32_t i)
{
    Outcome o;
    std::vector<ScanRecord> scans = survey.scans;
    PairContext pair;
    GeneratedSurvey& s = survey;
    const RegSettings saved = s.settings;
    s.settings = settings;
    EXPECT_TRUE(preparePair(s, scans, i, pair));
    SolverOutputs out;
    SolverWorkspace workspace;
    SolveProgress progress;
    progress.pairsInAll = static_cast<int32_t>(scans.size());
    progress.progressStep = 1.0;
    RegSettings chosen = settings;
    chosen.REGSOL = method == Method::IterativeSearch ? 1
        : method == Method::PartialLeastSquares       ? 0
        : method == Method::PingPong                  ? 2
                                                      : 3;
    testing::internal::CaptureStdout();
    const SolveResult r = solveWithSelectedMethod(chosen, scans, pair, workspace, progress, out);
    testing::internal::GetCapturedStdout();
    EXPECT_FALSE(r.fatal);
    o.walks = progress.walkCount;
    const ScanRecord& a = scans[static_cast<std::size_t>(pair.scan1Index)];
    const ScanRecord& b = scans[static_cast<std::size_t>(pair.scan2Index)];
    // The correction that undoes a heading error is its negative.
    const double trueRelative = -s.errorDeg.at(a.scanId) + s.errorDeg.at(b.scanId);
    o.headingError = (out.rotation1 - out.rotation2) - trueRelative;
    o.error1 = out.rotation1 + s.errorDeg.at(a.scanId);
    o.error2 = out.rotation2 + s.errorDeg.at(b.scanId);
    o.rms = agreement(settings, scans, pair, out.rotation1, out.rotation2);

    std::vector<ScanRecord> truth = withTrueHeadings(s);
    PairContext truePair;
    EXPECT_TRUE(preparePair(s, truth, i, truePair));
    o.trueRms = agreement(settings, truth, truePair, 0.0, 0.0);
    s.settings = saved;
    const double alpha = std::fabs(settings.ALPHA) * RAD_TO_DEG;
    const double lastHalfWidth = settings.MAXREPEAT > 1 ? alpha / (2.0 * (settings.MAXREPEAT - 1)) : alpha;
    o.finalStep = lastHalfWidth / std::pow(settings.ALPHAINC, settings.MAXITER);
    std::printf("[ result   ] heading off by %+.4f deg, rms %.5f m (true headings %.5f m), %lld walks\n",
                o.headingError, o.rms, o.trueRms, static_cast<long long>(o.walks));
    return o;
}

// The program's own defaults, with the survey's cube size and pair minimum.
RegSettings defaultsFor(const GeneratedSurvey& survey, int32_t regsol)
{
    RegSettings d;
    d.REGSOL = regsol;
    d.dCX = survey.settings.dCX;
    d.dCY = survey.settings.dCY;
    d.dCZ = survey.settings.dCZ;
    d.MINNUMPTS = survey.settings.MINNUMPTS;
    d.ZMIN = survey.settings.ZMIN;
    d.TRANSX = survey.settings.TRANSX;
    d.TRANSY = survey.settings.TRANSY;
    d.DATADIR = survey.settings.DATADIR;
    convertAnglesToRadians(d);
    return d;
}

class Recovery : public testing::TestWithParam<bool> {
protected:
    static void SetUpTestSuite()
    {
        for (bool eastWest : {false, true})
            ASSERT_TRUE(loadGeneratedSurvey(surveys()[eastWest ? 1 : 0], 150000, eastWest, 7));
    }
    static GeneratedSurvey* surveys()
    {
        static GeneratedSurvey all[2];
        return all;
    }
    GeneratedSurvey& survey() { return surveys()[GetParam() ? 1 : 0]; }
};

// Ping-pong's point-to-plane steps each make only part of the remaining turn (the
// feet lie on tangent planes of a face that the turn moves mostly along), so it needs
// more passes than its defaults give, and an RMS stop below the noise floor of the
// pair: at RMSTHRESH 0.04 the repeats end as soon as the RMS is under 4 cm, long
// before the heading has settled.
RegSettings pingPongSettings(const GeneratedSurvey& survey, int32_t regMode)
{
    RegSettings s = defaultsFor(survey, 2);
    s.REGMODE = regMode;
    s.MAXITER = 50;
    s.MAXREPEAT = 10;
    s.RMSTHRESH = 0.01;
    return s;
}

TEST_P(Recovery, PingPongPointToPlane)
{
    const Outcome o = register_(survey(), pingPongSettings(survey(), 1), Method::PingPong, 2);
    EXPECT_LT(std::fabs(o.headingError), 0.02);
    EXPECT_LT(o.rms, 1.1 * o.trueRms);
}

TEST_P(Recovery, PingPongPointToPoint)
{
    const Outcome o = register_(survey(), pingPongSettings(survey(), 0), Method::PingPong, 2);
    EXPECT_LT(std::fabs(o.headingError), 0.02);
    EXPECT_LT(o.rms, 1.1 * o.trueRms);
}

TEST_P(Recovery, PartialLeastSquaresAtItsDefaults)
{
    const Outcome o = register_(survey(), defaultsFor(survey(), 0), Method::PartialLeastSquares, 2);
    EXPECT_LT(std::fabs(o.headingError), 0.02);
    EXPECT_LT(o.rms, 1.1 * o.trueRms);
}

// The iterative search measures one direction with MAXDISTINITIAL: at 0.5 m far,
// wrong pairs pull its minimum a few hundredths of a degree off, and its final step
// after five iterations (0.00016 degrees) is far below what the noise lets any
// method resolve. With pairs up to 0.1 m and two iterations (final step 0.02
// degrees) it lands within one final step.
TEST_P(Recovery, IterativeSearch)
{
    RegSettings s = defaultsFor(survey(), 1);
    s.MAXITER = 2;
    s.MAXDISTINITIAL = 0.1;
    const Outcome o = register_(survey(), s, Method::IterativeSearch, 2);
    EXPECT_NEAR(o.finalStep, 0.02, 1e-12);
    EXPECT_LT(std::fabs(o.headingError), o.finalStep);
    EXPECT_LT(o.rms, 1.1 * o.trueRms);
}

// Point-to-plane Gauss-Newton converges at the program's defaults, in a few passes:
// the relative heading and, since the scanners stand along the cliff, each heading
// on its own.
TEST_P(Recovery, PointToPlaneAtTheDefaults)
{
    RegSettings s = defaultsFor(survey(), 3);
    const Outcome o = register_(survey(), s, Method::PointToPlane, 2);
    EXPECT_LT(std::fabs(o.headingError), 0.003);
    EXPECT_LT(std::fabs(o.error1), 0.003);
    EXPECT_LT(std::fabs(o.error2), 0.003);
    EXPECT_LT(o.rms, 1.05 * o.trueRms);
    EXPECT_LE(o.walks, 12);
}

INSTANTIATE_TEST_SUITE_P(ExampleSurvey, Recovery, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& p) { return p.param ? "EastWest" : "NorthSouth"; });

}  // namespace
