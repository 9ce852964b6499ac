#include "tests/tools/survey_reading.h"
#include "tools/cliff_scene.h"
#include "tools/survey_generator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

struct Survey {
    ExampleSurveyOptions options;
    ExampleSurveyPlan plan;
    std::vector<DatabaseRecord> records;
    std::vector<double> errors;  ///< degrees, from truth.csv
};

Survey generate(const std::string& dir, int32_t points, double noise)
{
    Survey s;
    s.options.outDir = dir;
    s.options.scans = 4;
    s.options.points = points;
    s.options.noise = noise;
    s.options.quiet = true;
    EXPECT_TRUE(generateExampleSurvey(s.options));
    s.plan = planExampleSurvey(s.options);
    s.records = readDatabase(dir + "/survey.csv");
    s.errors = readHeadingErrors(dir + "/truth.csv");
    return s;
}

std::string scanPath(const std::string& dir, const DatabaseRecord& r)
{
    char ids[32];
    std::snprintf(ids, sizeof ids, "_%03d_%03d_", static_cast<int>(r.id1), static_cast<int>(r.id2));
    return dir + "/survey" + ids + r.name + ".bxyz";
}

// Scan i in the survey frame, turned by the database heading minus `correction` degrees.
std::vector<Point3> placedScan(const Survey& s, const std::string& dir, size_t i, double correction)
{
    const DatabaseRecord& r = s.records[i];
    return toSurveyFrame(readPointFile(scanPath(dir, r)), r, r.a3 - correction, s.plan.transX, s.plan.transY);
}

// How far a survey-frame point lies from the rock's surface, in the surface functions'
// own units (metres of c for the face, of z for the beach and the top).
double surfaceResidual(const ExampleSurveyPlan& plan, const Point3& p)
{
    double s = 0.0;
    double c = 0.0;
    surveyToShore(plan.frame, p[0], p[1], s, c);
    const FaceMeasure m = faceMeasure(plan.scene, s, c, p[2]);
    double best = std::fabs(p[2] - beachHeight(plan.scene, s, c));
    if (m.below >= -1e-6) {
        best = std::min(best, std::fabs(m.beyond));
    }
    if (m.beyond >= -1e-6) {
        best = std::min(best, std::fabs(m.below));
    }
    return best;
}

}  // namespace

// Without noise, every point put back with the true angles (database heading minus the
// error in truth.csv) lies on the rock surface.
TEST(SurveyGeometry, PointsLieOnTheSurfaceWithTrueAngles)
{
    TempDir dir;
    const Survey s = generate(dir.path(), 5000, 0.0);
    ASSERT_EQ(s.records.size(), 4u);
    ASSERT_EQ(s.errors.size(), 4u);
    for (size_t i = 0; i < s.records.size(); ++i) {
        SCOPED_TRACE(s.records[i].name);
        const std::vector<Point3> pts = placedScan(s, dir.path(), i, s.errors[i]);
        ASSERT_GT(pts.size(), 4000u);
        double worst = 0.0;
        for (const Point3& p : pts) {
            worst = std::max(worst, surfaceResidual(s.plan, p));
        }
        EXPECT_LT(worst, 1e-4);
    }
}

// Range noise moves each point along its ray only: the same survey with and without
// noise has the same rays, and the range differences have the requested spread.
TEST(SurveyGeometry, RangeNoiseLiesAlongTheRay)
{
    TempDir clean;
    TempDir noisy;
    const Survey a = generate(clean.path(), 20000, 0.0);
    const Survey b = generate(noisy.path(), 20000, 0.003);
    const std::vector<Point3> p = readPointFile(scanPath(clean.path(), a.records[1]));
    const std::vector<Point3> q = readPointFile(scanPath(noisy.path(), b.records[1]));
    ASSERT_EQ(p.size(), q.size());
    double sum = 0.0;
    double sumSq = 0.0;
    for (size_t i = 0; i < p.size(); ++i) {
        const double rp = std::sqrt(p[i][0] * p[i][0] + p[i][1] * p[i][1] + p[i][2] * p[i][2]);
        const double rq = std::sqrt(q[i][0] * q[i][0] + q[i][1] * q[i][1] + q[i][2] * q[i][2]);
        for (int32_t k = 0; k < 3; ++k) {
            ASSERT_NEAR(p[i][k] / rp, q[i][k] / rq, 1e-12);  // same direction
        }
        sum += rq - rp;
        sumSq += (rq - rp) * (rq - rp);
    }
    const double n = static_cast<double>(p.size());
    EXPECT_NEAR(sum / n, 0.0, 0.0001);
    EXPECT_NEAR(std::sqrt(sumSq / n), 0.003, 0.0001);
}

// With the database headings the neighbours no longer agree: the point-to-plane RMS
// between neighbouring scans grows well above what the true headings give, so a wrong
// registration shows; undoing the errors from truth.csv restores the agreement.
TEST(SurveyGeometry, DatabaseHeadingsSpoilTheOverlap)
{
    TempDir dir;
    const Survey s = generate(dir.path(), 30000, 0.003);
    const double zmin = s.plan.zmin;
    double worstRatio = 1e300;
    double bestRatio = 0.0;
    for (size_t i = 0; i + 1 < s.records.size(); ++i) {
        SCOPED_TRACE(s.records[i].name);
        int32_t pairsTrue = 0;
        int32_t pairsDb = 0;
        const double rmsTrue = pointToPlaneRms(placedScan(s, dir.path(), i + 1, s.errors[i + 1]),
                                               placedScan(s, dir.path(), i, s.errors[i]), zmin, 0.5, pairsTrue);
        const double rmsDb = pointToPlaneRms(placedScan(s, dir.path(), i + 1, 0.0), placedScan(s, dir.path(), i, 0.0),
                                             zmin, 0.5, pairsDb);
        EXPECT_GT(pairsTrue, 1000);
        EXPECT_LT(rmsTrue, 0.08);
        worstRatio = std::min(worstRatio, rmsDb / rmsTrue);
        bestRatio = std::max(bestRatio, rmsDb / rmsTrue);
    }
    EXPECT_GT(worstRatio, 1.5);
    EXPECT_GT(bestRatio, 4.0);
}
