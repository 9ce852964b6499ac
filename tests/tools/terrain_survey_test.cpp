#include "tests/tools/survey_reading.h"
#include "tools/survey_generator.h"
#include "tools/terrain_survey.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <utility>

namespace {

#ifndef TERRAIN_SAMPLE
#define TERRAIN_SAMPLE ""
#endif

ExampleSurveyOptions terrainOptions(const std::string& dir)
{
    ExampleSurveyOptions o;
    o.outDir = dir;
    o.terrainPath = TERRAIN_SAMPLE;
    o.points = TERRAIN_DEFAULT_POINTS;
    o.quiet = true;
    return o;
}

std::map<std::string, std::string> configurationKeys(const std::string& path)
{
    std::map<std::string, std::string> keys;
    for (const std::string& line : readLines(path)) {
        const size_t blank = line.find(' ');
        if (!line.empty() && line[0] != '#' && blank != std::string::npos) {
            keys[line.substr(0, blank)] = line.substr(blank + 1);
        }
    }
    return keys;
}

// A generated terrain survey read back from its files.
struct TerrainFiles {
    std::vector<DatabaseRecord> records;
    std::vector<double> errors;                   ///< degrees, truth.csv
    std::vector<std::vector<Point3>> atTruth;     ///< survey frame, true headings
    std::vector<std::vector<Point3>> asSurveyed;  ///< survey frame, database headings
};

TerrainFiles readTerrainSurvey(const std::string& dir)
{
    TerrainFiles s;
    s.records = readDatabase(dir + "/survey.csv");
    s.errors = readHeadingErrors(dir + "/truth.csv");
    const std::map<std::string, std::string> keys = configurationKeys(dir + "/ipcreg.txt");
    const double transX = std::strtod(keys.at("TRANSX").c_str(), nullptr);
    const double transY = std::strtod(keys.at("TRANSY").c_str(), nullptr);
    for (size_t i = 0; i < s.records.size() && i < s.errors.size(); ++i) {
        const DatabaseRecord& r = s.records[i];
        char ids[32];
        std::snprintf(ids, sizeof ids, "_%03d_%03d_", static_cast<int>(r.id1), static_cast<int>(r.id2));
        const std::vector<Point3> scan = readPointFile(dir + "/survey" + ids + r.name + ".bxyz");
        s.atTruth.push_back(toSurveyFrame(scan, r, r.a3 - s.errors[i], transX, transY));
        s.asSurveyed.push_back(toSurveyFrame(scan, r, r.a3, transX, transY));
    }
    return s;
}

// Distance from each query point to its nearest reference point, found among the
// reference points of the 27 cubes of edge `reach` around it; `reach` when none is there.
std::vector<double> nearestDistances(const std::vector<Point3>& query, const std::vector<Point3>& reference,
                                     double reach)
{
    auto key = [reach](const Point3& p, int32_t dx, int32_t dy, int32_t dz) {
        const int64_t x = static_cast<int64_t>(std::floor(p[0] / reach)) + dx + 100000;
        const int64_t y = static_cast<int64_t>(std::floor(p[1] / reach)) + dy + 100000;
        const int64_t z = static_cast<int64_t>(std::floor(p[2] / reach)) + dz + 100000;
        return (x * 200000 + y) * 200000 + z;
    };
    std::vector<std::pair<int64_t, size_t>> sorted;
    for (size_t i = 0; i < reference.size(); ++i) {
        sorted.push_back({key(reference[i], 0, 0, 0), i});
    }
    std::sort(sorted.begin(), sorted.end());
    std::vector<double> out;
    for (const Point3& p : query) {
        double best = reach * reach;
        for (int32_t n = 0; n < 27; ++n) {
            const int64_t k = key(p, n % 3 - 1, (n / 3) % 3 - 1, n / 9 - 1);
            for (auto it = std::lower_bound(sorted.begin(), sorted.end(), std::make_pair(k, size_t{0}));
                 it != sorted.end() && it->first == k; ++it) {
                const Point3& r = reference[it->second];
                best = std::min(best,
                                (r[0] - p[0]) * (r[0] - p[0]) + (r[1] - p[1]) * (r[1] - p[1])
                                    + (r[2] - p[2]) * (r[2] - p[2]));
            }
        }
        out.push_back(std::sqrt(best));
    }
    return out;
}

// The field's height under p; a point on the rim of a cell next to a gap may come back
// from the file a hair inside the gap, so the four points 1 micrometre around it count too.
bool groundAt(const HeightField& field, const Point3& p, double& z)
{
    for (int32_t k = 0; k < 5; ++k) {
        const double dx = k == 0 ? 0.0 : (k % 2 == 0 ? 1e-6 : -1e-6);
        const double dy = k == 0 ? 0.0 : (k < 3 ? 1e-6 : -1e-6);
        if (heightAt(field, p[0] + dx, p[1] + dy, z)) {
            return true;
        }
    }
    return false;
}

double shareWithin(const std::vector<double>& distances, double limit)
{
    const auto n = std::count_if(distances.begin(), distances.end(), [limit](double d) { return d <= limit; });
    return static_cast<double>(n) / static_cast<double>(distances.size());
}

}  // namespace

// Six scans of a few thousand points each, with heading errors up to a degree, one of
// them above half a degree; the truth table counts the points of each file.
TEST(TerrainSurvey, SixSparseScansWithKnownErrors)
{
    TempDir dir;
    const std::optional<ExampleSurveyResult> result = generateExampleSurvey(terrainOptions(dir.path()));
    ASSERT_TRUE(result);
    const TerrainFiles s = readTerrainSurvey(dir.path());
    ASSERT_EQ(s.records.size(), 6u);
    ASSERT_EQ(s.errors.size(), 6u);
    const std::vector<std::string> truth = readLines(dir.path() + "/truth.csv");
    double largest = 0.0;
    for (size_t i = 0; i < s.records.size(); ++i) {
        SCOPED_TRACE(s.records[i].name);
        EXPECT_GE(s.atTruth[i].size(), 2000u);
        EXPECT_LE(s.atTruth[i].size(), 4000u);
        EXPECT_EQ(splitCommas(truth[i + 1]).back(), std::to_string(s.atTruth[i].size()));
        EXPECT_LE(std::fabs(s.errors[i]), 1.0);
        largest = std::max(largest, std::fabs(s.errors[i]));
        // The sample lies at easting 512700..512835, northing 5403547..5403850.
        EXPECT_NEAR(s.records[i].x, 512770.0, 80.0);
        EXPECT_NEAR(s.records[i].y, 5403520.0, 30.0);
    }
    EXPECT_GT(largest, 0.5);
}

// Without noise every point put back with the true heading lies on the surface built
// from the sample; with the database headings the far points leave it.
TEST(TerrainSurvey, PointsLieOnTheGroundAtTheTrueHeadings)
{
    TempDir dir;
    ExampleSurveyOptions o = terrainOptions(dir.path());
    o.noise = 0.0;
    ASSERT_TRUE(generateExampleSurvey(o));
    const std::optional<std::vector<TerrainPoint>> sample = readTerrainPoints(TERRAIN_SAMPLE);
    ASSERT_TRUE(sample);
    const std::optional<TerrainSurveyPlan> plan = planTerrainSurvey(o, *sample);
    ASSERT_TRUE(plan);
    const TerrainFiles s = readTerrainSurvey(dir.path());
    for (size_t i = 0; i < s.records.size(); ++i) {
        SCOPED_TRACE(s.records[i].name);
        double worstTrue = 0.0;
        int32_t offGround = 0;
        for (size_t k = 0; k < s.atTruth[i].size(); ++k) {
            const Point3& p = s.atTruth[i][k];
            double z = 0.0;
            ASSERT_TRUE(groundAt(plan->field, p, z));
            worstTrue = std::max(worstTrue, std::fabs(p[2] - z));
            const Point3& q = s.asSurveyed[i][k];
            offGround += groundAt(plan->field, q, z) && std::fabs(q[2] - z) > 0.01 ? 1 : 0;
        }
        EXPECT_LT(worstTrue, 1e-6);
        if (std::fabs(s.errors[i]) > 0.1) {
            EXPECT_GT(offGround, static_cast<int32_t>(s.atTruth[i].size() / 4));
        }
    }
}

// Neighbours see much of the same ground, but each samples it at its own points.
TEST(TerrainSurvey, NeighboursOverlapWithoutSharingPoints)
{
    TempDir dir;
    ASSERT_TRUE(generateExampleSurvey(terrainOptions(dir.path())));
    const TerrainFiles s = readTerrainSurvey(dir.path());
    ASSERT_EQ(s.atTruth.size(), 6u);
    for (size_t i = 0; i + 1 < s.atTruth.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "pair " << i + 1 << "-" << i + 2);
        const std::vector<double> forward = nearestDistances(s.atTruth[i + 1], s.atTruth[i], 3.0);
        const std::vector<double> backward = nearestDistances(s.atTruth[i], s.atTruth[i + 1], 3.0);
        EXPECT_GT(shareWithin(forward, 3.0), 0.5);
        EXPECT_GT(shareWithin(backward, 3.0), 0.5);
        EXPECT_GT(*std::min_element(forward.begin(), forward.end()), 1e-3);
    }
}

// The set-ups follow each other along x (DATADIR 1), each finds its neighbour within
// GPSMAXDIST and not the scan after next, and MINNUMPTS asks for fewer pairs than the
// weakest neighbour pair can give.
TEST(TerrainSurvey, NeighbourSearchFindsEachNeighbour)
{
    TempDir dir;
    const std::optional<ExampleSurveyResult> result = generateExampleSurvey(terrainOptions(dir.path()));
    ASSERT_TRUE(result);
    const std::map<std::string, std::string> keys = configurationKeys(dir.path() + "/ipcreg.txt");
    EXPECT_EQ(keys.at("DATADIR"), "1");
    EXPECT_LT(std::atoi(keys.at("MINNUMPTS").c_str()), result->fewestPairs);
    const double window = std::strtod(keys.at("GPSMAXDIST").c_str(), nullptr);
    const std::vector<DatabaseRecord> r = readDatabase(dir.path() + "/survey.csv");
    for (size_t i = 0; i + 1 < r.size(); ++i) {
        SCOPED_TRACE(r[i].name);
        EXPECT_GT(r[i + 1].x - r[i].x, 10.0);
        EXPECT_LT(std::hypot(r[i + 1].x - r[i].x, r[i + 1].y - r[i].y), window);
        if (i + 2 < r.size()) {
            EXPECT_GT(std::hypot(r[i + 2].x - r[i].x, r[i + 2].y - r[i].y), window);
        }
    }
}

TEST(TerrainSurvey, SameSeedSameBytesOtherSeedDiffers) { EXPECT_EQ(sameSeedSameBytes(terrainOptions("")), 10); }

TEST(TerrainSurvey, UnusableSamplesAndLayoutsAreReported)
{
    TempDir dir;
    std::string objects;
    for (int32_t i = 0; i < 200; ++i) {
        objects += std::to_string(i) + " 5 300 1\n";  // all objects, no ground
    }
    writeFile(dir.file("objects.txt"), objects);
    struct Row {
        std::string sample;
        double spacing;
        const char* message;
    };
    const Row rows[] = {
        {dir.file("missing.txt"), 20.0, "Cannot read "},
        {dir.file("objects.txt"), 20.0, "The terrain sample holds fewer than 100 ground points\n"},
        {TERRAIN_SAMPLE, 40.0, "Set-up 1 would stand beyond the terrain's foot"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.message);
        ExampleSurveyOptions o = terrainOptions(dir.file("out"));
        o.terrainPath = r.sample;
        o.spacing = r.spacing;
        testing::internal::CaptureStderr();
        EXPECT_FALSE(generateExampleSurvey(o));
        EXPECT_EQ(testing::internal::GetCapturedStderr().rfind(r.message, 0), 0u);
    }
}
