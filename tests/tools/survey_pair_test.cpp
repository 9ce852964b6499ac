#include "tests/tools/survey_reading.h"
#include "tools/survey_generator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

namespace {

// The benchmark's pair: two set-ups 30 m apart, scan 1 exact, scan 2 off by half a degree.
ExampleSurveyOptions pairOptions(const std::string& dir)
{
    ExampleSurveyOptions o;
    o.outDir = dir;
    o.scans = 2;
    o.spacing = 30.0;
    o.errors = {0.0, 0.5};
    o.points = 20000;
    o.quiet = true;
    return o;
}

std::vector<Point3> placed(const std::string& dir, const DatabaseRecord& r, double a3)
{
    char ids[32];
    std::snprintf(ids, sizeof ids, "_%03d_%03d_", static_cast<int>(r.id1), static_cast<int>(r.id2));
    return toSurveyFrame(readPointFile(dir + "/survey" + ids + r.name + ".bxyz"), r, a3, 475000.0, 3640000.0);
}

}  // namespace

// Exactly the errors asked for; the two scans agree at the true headings and not at the
// database ones, so the half degree is there to be found.
TEST(SurveyPair, TwoSetUpsThirtyMetresApartWithTheGivenErrors)
{
    TempDir dir;
    const ExampleSurveyOptions o = pairOptions(dir.path());
    const std::optional<ExampleSurveyResult> result = generateExampleSurvey(o);
    ASSERT_TRUE(result);
    const std::vector<DatabaseRecord> r = readDatabase(dir.path() + "/survey.csv");
    ASSERT_EQ(r.size(), 2u);
    // Each set-up moves up to 2 m along the beach and 1 m across it.
    const double apart = std::hypot(r[1].x - r[0].x, r[1].y - r[0].y);
    EXPECT_GE(apart, 26.0);
    EXPECT_LE(apart, 34.1);
    const std::vector<std::string> truth = readLines(dir.path() + "/truth.csv");
    ASSERT_EQ(truth.size(), 3u);
    for (size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(r[i].name);
        const std::vector<std::string> f = splitCommas(truth[i + 1]);
        EXPECT_EQ(f[2], i == 0 ? "0.000000" : "0.500000");
        EXPECT_EQ(f[4], splitCommas(readLines(dir.path() + "/survey.csv")[i + 1])[5]);  // database A3
        EXPECT_NEAR(std::strtod(f[4].c_str(), nullptr) - std::strtod(f[3].c_str(), nullptr), i == 0 ? 0.0 : 0.5, 1e-9);
        EXPECT_NEAR(static_cast<double>(result->pointCounts[i]), o.points, 0.15 * o.points);
    }
    const double zmin = 4.0;
    int32_t pairsTrue = 0;
    int32_t pairsDb = 0;
    const double rmsTrue = pointToPlaneRms(placed(dir.path(), r[1], r[1].a3 - 0.5), placed(dir.path(), r[0], r[0].a3),
                                           zmin, 0.5, pairsTrue);
    const double rmsDb =
        pointToPlaneRms(placed(dir.path(), r[1], r[1].a3), placed(dir.path(), r[0], r[0].a3), zmin, 0.5, pairsDb);
    EXPECT_GT(pairsTrue, 2000);
    EXPECT_LT(rmsTrue, 0.08);
    EXPECT_GT(rmsDb, 2.0 * rmsTrue);
}

// Given errors replace the drawn ones and change nothing else: the same survey with
// drawn errors has the same point files, positions and true headings.
TEST(SurveyPair, GivenErrorsChangeOnlyTheHeadingErrors)
{
    TempDir given;
    TempDir drawn;
    ExampleSurveyOptions o = pairOptions(given.path());
    ASSERT_TRUE(generateExampleSurvey(o));
    o.outDir = drawn.path();
    o.errors.clear();
    ASSERT_TRUE(generateExampleSurvey(o));
    for (const char* name : {"survey_001_001_S1.bxyz", "survey_002_002_S2.bxyz"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(readFile(given.file(name)), readFile(drawn.file(name)));
    }
    for (const char* table : {"survey.csv", "truth.csv"}) {
        SCOPED_TRACE(table);
        const std::vector<std::string> a = readLines(given.file(table));
        const std::vector<std::string> b = readLines(drawn.file(table));
        ASSERT_EQ(a.size(), b.size());
        for (size_t i = 1; i < a.size(); ++i) {
            std::vector<std::string> fa = splitCommas(a[i]);
            std::vector<std::string> fb = splitCommas(b[i]);
            // Only the heading error and the database heading may differ.
            const std::vector<size_t> free =
                table == std::string("survey.csv") ? std::vector<size_t>{5} : std::vector<size_t>{2, 4};
            for (size_t k : free) {
                fa[k] = fb[k] = "";
            }
            EXPECT_EQ(fa, fb);
        }
    }
}
