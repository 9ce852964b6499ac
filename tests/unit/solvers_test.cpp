#include "batch/engine/solvers.h"

#include "batch/constants.h"
#include "batch/engine/pair_context.h"
#include "batch/engine/pair_preparation.h"
#include "batch/engine/solver_workspace.h"
#include "batch/engine/transform.h"
#include "batch/inputs/configuration.h"
#include "batch/inputs/survey_database.h"
#include "tests/support/synthetic_scans.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>

namespace {

enum class Method { IterativeSearch, PartialLeastSquares, PingPong, PointToPlane };

const char* name(Method m)
{
    const char* names[] = {"iterative search", "partial least squares", "ping-pong", "point-to-plane"};
    return names[static_cast<int>(m)];
}

// Two scans of the same rough wall, from scanners at (0, 0) and (0, 6); scan 2 is
// turned by `turnDegrees` about its scanner, so registering it needs the opposite turn.
class TinyPair : public testing::Test {
protected:
    void prepare(double turnDegrees, bool sameSampling = false, int32_t regMode = 1)
    {
        settings_.REGMODE = regMode;
        settings_.SCANTRANSFORM = 1;  // the files hold survey-frame points
        settings_.NUMPPC = 5;
        settings_.MINNUMPTS = 50;
        settings_.ALPHA = 0.5 * DEG_TO_RAD;
        settings_.ALPHATHRESH = 0.0001 * DEG_TO_RAD;
        settings_.RMSTHRESH = 0.001;
        settings_.MAXITER = 5;
        settings_.MAXREPEAT = 3;
        scans_.assign(2, ScanRecord{});
        scans_[0].scanId = 11;
        scans_[1].scanId = 12;
        scans_[1].y = 6.0;
        std::vector<CubePoint> first = roughWall(0.0, 8.0, 4.0, 0.08, 1);
        std::vector<CubePoint> second = sameSampling ? first : roughWall(2.0, 8.0, 4.0, 0.08, 2);
        if (turnDegrees != 0.0)
            rotateAboutVertical(second, turnDegrees * DEG_TO_RAD, 0.0, 6.0);
        writeBinaryScan(dir_.file("a.bxyz"), first);
        writeBinaryScan(dir_.file("b.bxyz"), second);
        pair_.scan1Index = 0;
        pair_.scan2Index = 1;
        pair_.scan1Path = dir_.file("a.bxyz");
        pair_.scan2Path = dir_.file("b.bxyz");
        progress_.pairsInAll = 2;
        progress_.progressStep = 1.0;
        PrepareSteps registering;
        registering.measureInitialRms = true;
        quietly([&] { ASSERT_EQ(prepareRegistration(settings_, scans_, pair_, registering), PrepareResult::Ready); });
    }

    SolveResult solve(Method m)
    {
        SolveResult r;
        lastOutput_ = quietly([&] {
            RegSettings chosen = settings_;
            chosen.REGSOL = m == Method::IterativeSearch ? 1
                : m == Method::PartialLeastSquares       ? 0
                : m == Method::PingPong                  ? 2
                                                         : 3;
            r = solveWithSelectedMethod(chosen, scans_, pair_, workspace_, progress_, out_);
        });
        return r;
    }

    // Runs `body` with standard output and error captured; returns standard output.
    static std::string quietly(const std::function<void()>& body)
    {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        body();
        testing::internal::GetCapturedStderr();
        return testing::internal::GetCapturedStdout();
    }

    // The last line that ends in "\n" (the progress lines end in "\r").
    std::string resultLine() const
    {
        const std::size_t end = lastOutput_.rfind("\n\n");
        const std::size_t start = lastOutput_.find_last_of("\r\n", end - 1);
        return lastOutput_.substr(start + 1, end - start);
    }

    TempDir dir_;
    RegSettings settings_;
    std::vector<ScanRecord> scans_;
    PairContext pair_;
    SolverWorkspace workspace_;
    SolveProgress progress_;
    SolverOutputs out_;
    std::string lastOutput_;
};

TEST_F(TinyPair, EveryMethodFindsTheTurn)
{
    for (Method m : {Method::IterativeSearch, Method::PartialLeastSquares, Method::PingPong, Method::PointToPlane}) {
        SCOPED_TRACE(name(m));
        prepare(0.3);
        settings_.MAXITER = m == Method::PingPong ? 50 : 5;
        settings_.MAXREPEAT = m == Method::PingPong ? 10 : 3;
        const SolveResult r = solve(m);
        ASSERT_FALSE(r.fatal);
        // A small wall: the direction and size of the turn are clear, the last
        // hundredths of a degree are not (the example survey holds the methods to those).
        EXPECT_NEAR(out_.rotation2 - out_.rotation1, -0.3, 0.05);
        EXPECT_LT(r.rms, 0.7 * pair_.initialRms);
        EXPECT_EQ(lastOutput_.substr(lastOutput_.size() - 2), "\n\n");
    }
}

TEST_F(TinyPair, AlignedScansNeedNoRotation)
{
    for (Method m : {Method::IterativeSearch, Method::PartialLeastSquares, Method::PingPong, Method::PointToPlane}) {
        SCOPED_TRACE(name(m));
        prepare(0.0, true, 0);  // point to point: every point pairs with itself, exactly 0
        EXPECT_EQ(pair_.initialRms, 0.0f);
        const SolveResult r = solve(m);
        EXPECT_EQ(resultLine(), "RMSfinal:  0.000000  No rotation necessary.  Scan is at optimal alignment \n");
        // Point to plane measures against planes fitted to several points, which the
        // very same points do not lie on exactly.
        EXPECT_LT(r.rms, m == Method::PointToPlane ? 0.01 : 1e-12);
    }
}

TEST_F(TinyPair, PointToPlaneFindsBothHeadingsInAFewPasses)
{
    // Scan 2 alone was turned, and the scanners stand along the wall: a turn of both
    // together would shift one scan across the wall, so each heading is found, not only
    // their difference. At the program's defaults.
    prepare(0.3);
    settings_.MAXITER = 5;
    settings_.MAXREPEAT = 3;
    settings_.RMSTHRESH = 0.04;
    settings_.ALPHATHRESH = 1.75e-5 * DEG_TO_RAD;
    const SolveResult r = solve(Method::PointToPlane);
    ASSERT_FALSE(r.fatal);
    EXPECT_NEAR(out_.rotation1, 0.0, 0.003);
    EXPECT_NEAR(out_.rotation2, -0.3, 0.003);
    EXPECT_LE(out_.iterations, 8);
    EXPECT_EQ(progress_.walkCount, out_.iterations);
    EXPECT_LT(r.rms, 0.5 * pair_.initialRms);
    ASSERT_TRUE(r.recordsRotations);
    EXPECT_DOUBLE_EQ(r.scan1RotationMinus, out_.rotation1 * DEG_TO_RAD);
    EXPECT_DOUBLE_EQ(r.scan2RotationPlus, out_.rotation2 * DEG_TO_RAD);

    // A scan registered before starts from its rotation: turned back by hand, it stays.
    prepare(0.3);
    settings_.RMSTHRESH = 0.04;
    scans_[1].rotationPlus = -0.3 * DEG_TO_RAD;
    solve(Method::PointToPlane);
    EXPECT_NEAR(out_.rotation2, -0.3, 0.003);
    EXPECT_LE(out_.iterations, 4);
}

TEST_F(TinyPair, NoSearchWithoutIterationsOrRepeats)
{
    struct Case {
        Method method;
        int32_t maxIter, maxRepeat;
    } cases[] = {
        {Method::IterativeSearch, 5, 0},      {Method::IterativeSearch, 5, -2}, {Method::PartialLeastSquares, 0, 3},
        {Method::PartialLeastSquares, -1, 3}, {Method::PingPong, 5, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << name(c.method) << " " << c.maxIter << " " << c.maxRepeat);
        prepare(0.3);
        settings_.MAXITER = c.maxIter;
        settings_.MAXREPEAT = c.maxRepeat;
        scans_[0].rotationPlus = 0.1 * DEG_TO_RAD;  // a scan registered before starts from there
        out_ = SolverOutputs{};
        out_.pairCount = 77;
        const SolveResult r = solve(c.method);
        EXPECT_EQ(r.rms, static_cast<double>(pair_.initialRms));
        EXPECT_EQ(out_.pairCount, 77);  // no walk, nothing written
        EXPECT_NE(resultLine().find("No rotation necessary"), std::string::npos);
        const double start1 = c.method == Method::IterativeSearch ? 0.0 : 0.1;
        EXPECT_NEAR(out_.rotation1, start1, 1e-12);
        EXPECT_EQ(out_.rotation2, 0.0);
        EXPECT_EQ(r.recordsRotations, c.method == Method::PingPong);
        if (c.method == Method::PingPong) {
            // The starting rotations are what it asks the run to record.
            EXPECT_DOUBLE_EQ(r.scan1RotationMinus, 0.1 * DEG_TO_RAD);
            EXPECT_EQ(r.scan2RotationPlus, 0.0);
            EXPECT_EQ(out_.iterations, 0);
        }
    }
}

TEST_F(TinyPair, LeastSquaresThatRunsOutOfPairsDoesNotWindTheHeadingRound)
{
    // Wide trials turn scan 1 far enough that some least-squares steps find fewer
    // than MINNUMPTS pairs; the step found before must not be added again and again
    // (it once reported scan 2 at -360.33 degrees).
    prepare(0.3);
    settings_.MAXITER = 6;
    settings_.MINNUMPTS = 160;
    settings_.ALPHA = 5.0 * DEG_TO_RAD;
    const SolveResult r = solve(Method::PartialLeastSquares);
    ASSERT_FALSE(r.fatal);
    EXPECT_NEAR(out_.rotation2 - out_.rotation1, -0.3, 0.1);
    EXPECT_NE(resultLine().find(" && Scan 12 = -0."), std::string::npos) << resultLine();
}

TEST_F(TinyPair, SingleStepSchedulesUseTheInitialLimits)
{
    // One iteration (or repeat) has no slope to fall along: the initial limits apply.
    prepare(0.3);
    settings_.MAXITER = 1;
    solve(Method::PartialLeastSquares);
    EXPECT_NE(lastOutput_.find("DistThresh: 0.500000 \r"), std::string::npos);
    EXPECT_GT(out_.pairCount, 0);  // with limits that are not a number no pair would count

    prepare(0.3);
    settings_.MAXREPEAT = 1;
    settings_.MAXITER = 50;
    solve(Method::PingPong);
    EXPECT_NE(lastOutput_.find("Dist 0.000000 to 0.500000 \r"), std::string::npos);
    EXPECT_NEAR(out_.rotation2 - out_.rotation1, -0.3, 0.01);
}

TEST_F(TinyPair, IterativeSearchGridSettings)
{
    // No search width: no trial at all; the result is the one-way RMS of the pair as it stands.
    prepare(0.3);
    settings_.ALPHA = 0.0;
    SolveResult r = solve(Method::IterativeSearch);
    EXPECT_EQ(out_.rotation1, 0.0);
    EXPECT_EQ(out_.rotation2, 0.0);
    EXPECT_NEAR(r.rms, pair_.rms21, 1e-6);

    // One step per half-width: only the offsets 0 and R are tried on each axis,
    // so every rotation found is a sum of the half-widths used.
    prepare(0.3);
    settings_.ALPHAINC = 1;
    settings_.MAXITER = 1;
    settings_.MAXREPEAT = 1;
    r = solve(Method::IterativeSearch);
    const double half = 0.5;
    for (double rotation : {out_.rotation1, out_.rotation2})
        EXPECT_TRUE(std::fabs(rotation) < 1e-9 || std::fabs(rotation - half) < 1e-9) << rotation;
}

TEST_F(TinyPair, IterativeSearchLeavesItsCopiesTurnedByTheResult)
{
    prepare(0.3);
    solve(Method::IterativeSearch);
    // Turning the working copies back by the reported rotations gives the prepared points.
    auto byPosition = [](std::vector<CubePoint> v) {
        std::sort(v.begin(), v.end(),
                  [](const CubePoint& a, const CubePoint& b) { return std::tie(a.z, a.y) < std::tie(b.z, b.y); });
        return v;
    };
    std::vector<CubePoint> back1 = pair_.work1, back2 = pair_.work2;
    rotateAboutVertical(back1, -out_.rotation1 * DEG_TO_RAD, scans_[0].x, scans_[0].y);
    rotateAboutVertical(back2, -out_.rotation2 * DEG_TO_RAD, scans_[1].x, scans_[1].y);
    const std::vector<CubePoint> a = byPosition(back1), b = byPosition(pair_.scan1.points);
    const std::vector<CubePoint> c = byPosition(back2), d = byPosition(pair_.scan2.points);
    ASSERT_EQ(a.size(), b.size());
    ASSERT_EQ(c.size(), d.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_NEAR(a[i].x, b[i].x, 1e-9);
        EXPECT_NEAR(a[i].y, b[i].y, 1e-9);
    }
    for (std::size_t i = 0; i < c.size(); ++i) {
        EXPECT_NEAR(c[i].x, d[i].x, 1e-9);
        EXPECT_NEAR(c[i].y, d[i].y, 1e-9);
    }
}

TEST_F(TinyPair, PingPongCountsEveryPassAndRecordsItsRotations)
{
    prepare(0.3);
    settings_.MAXITER = 4;
    settings_.MAXREPEAT = 2;
    settings_.ALPHATHRESH = 0.0;  // never settles: every pass of every repeat runs
    settings_.RMSTHRESH = 0.0;
    const SolveResult r = solve(Method::PingPong);
    EXPECT_EQ(out_.iterations, 8);
    EXPECT_NE(resultLine().find(" in 8 iterations\n"), std::string::npos);
    ASSERT_TRUE(r.recordsRotations);
    EXPECT_DOUBLE_EQ(r.scan1RotationMinus, out_.rotation1 * DEG_TO_RAD);
    EXPECT_DOUBLE_EQ(r.scan2RotationPlus, out_.rotation2 * DEG_TO_RAD);
}

}  // namespace
