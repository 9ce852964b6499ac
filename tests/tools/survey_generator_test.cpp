#include "tests/tools/survey_reading.h"
#include "tools/cliff_scene.h"
#include "tools/survey_files.h"
#include "tools/survey_generator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

namespace {

ExampleSurveyOptions smallSurvey(const std::string& dir)
{
    ExampleSurveyOptions o;
    o.outDir = dir;
    o.scans = 4;
    o.points = 4000;
    o.quiet = true;
    return o;
}

std::map<std::string, std::string> readConfiguration(const std::string& path)
{
    std::map<std::string, std::string> keys;
    for (const std::string& line : readLines(path)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        const size_t blank = line.find(' ');
        EXPECT_NE(blank, std::string::npos) << line;
        EXPECT_EQ(line.find(' ', blank + 1), std::string::npos) << line;  // key, one blank, value
        EXPECT_EQ(keys.count(line.substr(0, blank)), 0u) << line;
        keys[line.substr(0, blank)] = line.substr(blank + 1);
    }
    return keys;
}

}  // namespace

TEST(SurveyFiles, IdPaddingFollowsIdSize)
{
    struct Row {
        int32_t id1, id2;
        const char* expected;
    };
    const Row rows[] = {
        {1, 1, "d/s_001_001_S1.bxyz"},       {7, 42, "d/s_007_042_S1.bxyz"}, {10, 99, "d/s_010_099_S1.bxyz"},
        {100, 1234, "d/s_100_1234_S1.bxyz"}, {0, 9, "d/s_000_009_S1.bxyz"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.expected);
        EXPECT_EQ(scanFileName("d/s", r.id1, r.id2, "S1"), r.expected);
    }
}

// Everything the batch program reads: the database, the point files it names, the
// configuration, and beside them the truth and a README.
TEST(ExampleSurvey, WritesTheSurveyFiles)
{
    TempDir dir;
    ExampleSurveyOptions o = smallSurvey(dir.path());
    o.firstId = 8;
    o.firstId2 = 98;
    const std::optional<ExampleSurveyResult> result = generateExampleSurvey(o);
    ASSERT_TRUE(result);
    const std::vector<std::string> db = readLines(dir.path() + "/survey.csv");
    ASSERT_EQ(db.size(), 5u);
    EXPECT_EQ(db[0], "X,Y,Z,A1,A2,A3,ID1,ID2,NAME");
    const std::vector<DatabaseRecord> records = readDatabase(dir.path() + "/survey.csv");
    ASSERT_EQ(records.size(), 4u);
    const char* names[] = {"survey_008_098_S8.bxyz", "survey_009_099_S9.bxyz", "survey_010_100_S10.bxyz",
                           "survey_011_101_S11.bxyz"};
    for (size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(records[i].id1, static_cast<int32_t>(8 + i));
        EXPECT_LE(records[i].name.size(), 15u);
        EXPECT_LE(std::fabs(records[i].a1), 0.5);
        EXPECT_LE(std::fabs(records[i].a2), 0.5);
        EXPECT_NEAR(records[i].x, 475000.0, 1000.0);
        EXPECT_NEAR(records[i].y, 3640000.0, 1000.0);
        const std::string bytes = readFile(dir.path() + "/" + names[i]);
        ASSERT_GT(bytes.size(), 0u);
        EXPECT_EQ(bytes.size() % 32, 0u);
        EXPECT_NEAR(static_cast<double>(bytes.size() / 32), o.points, 0.15 * o.points);
        for (size_t r = 0; r < bytes.size(); r += 32) {
            ASSERT_EQ(bytes.substr(r + 24, 8), std::string(8, '\0')) << "record " << r / 32;
        }
    }
    EXPECT_EQ(readLines(dir.path() + "/truth.csv").size(), 5u);
    EXPECT_TRUE(std::filesystem::exists(dir.path() + "/README.txt"));
    const std::string text = readFile(dir.path() + "/survey.csv") + readFile(dir.path() + "/ipcreg.txt");
    EXPECT_EQ(text.find('\r'), std::string::npos);
}

TEST(ExampleSurvey, ConfigurationHasEveryKeyOnce)
{
    struct Row {
        bool eastWest;
        int32_t regsol;
        const char* dataDir;
    };
    const Row rows[] = {{false, 2, "0"}, {true, 1, "1"}};
    const std::set<std::string> expected = {"GPSMINDIST",
                                            "GPSMAXDIST",
                                            "DATADIR",
                                            "TRANSX",
                                            "TRANSY",
                                            "SCANTRANSFORM",
                                            "ZEROPAD",
                                            "FILEEXT",
                                            "APPLYFILTER",
                                            "MINRANGE",
                                            "MAXRANGE",
                                            "XMIN",
                                            "XMAX",
                                            "YMIN",
                                            "YMAX",
                                            "ZMIN",
                                            "ZMAX",
                                            "dCX",
                                            "dCY",
                                            "dCZ",
                                            "NUMPPC",
                                            "MINNUMPTS",
                                            "MINDISTINITIAL",
                                            "MINDISTFINAL",
                                            "MAXDISTINITIAL",
                                            "MAXDISTFINAL",
                                            "REGMODE",
                                            "REGSOL",
                                            "MAXREPEAT",
                                            "MAXITER",
                                            "ALPHATHRESH",
                                            "RMSTHRESH",
                                            "ALPHA",
                                            "ALPHAINC"};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.dataDir);
        TempDir dir;
        ExampleSurveyOptions o = smallSurvey(dir.path());
        o.eastWest = r.eastWest;
        o.regsol = r.regsol;
        ASSERT_TRUE(generateExampleSurvey(o));
        const std::map<std::string, std::string> keys = readConfiguration(dir.path() + "/ipcreg.txt");
        std::set<std::string> found;
        for (const auto& kv : keys) {
            found.insert(kv.first);
        }
        EXPECT_EQ(found, expected);
        EXPECT_EQ(keys.at("DATADIR"), r.dataDir);
        EXPECT_EQ(std::atoi(keys.at("REGSOL").c_str()), r.regsol);
        EXPECT_EQ(std::strtod(keys.at("TRANSX").c_str(), nullptr), 475000.0);
        EXPECT_EQ(std::strtod(keys.at("TRANSY").c_str(), nullptr), 3640000.0);
        EXPECT_EQ(keys.at("SCANTRANSFORM"), "0");
        EXPECT_EQ(keys.at("ZEROPAD"), "1");
        const int32_t minPairs = std::atoi(keys.at("MINNUMPTS").c_str());
        EXPECT_GE(minPairs, 10);
        EXPECT_LE(minPairs, 1000);
    }
}

// Neighbours follow each other along the survey direction; GPSMAXDIST catches each
// neighbour but not the scan after next; the heading errors stay within the limit and
// at least one is well above half of it.
TEST(ExampleSurvey, SetUpsSuitTheNeighbourSearch)
{
    struct Row {
        bool eastWest;
        uint32_t seed;
        double maxError;
    };
    const Row rows[] = {{false, 1, 1.0}, {true, 2, 1.0}, {false, 3, 0.3}, {true, 4, 2.0}};
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "seed " << r.seed);
        ExampleSurveyOptions o = smallSurvey("unused");
        o.eastWest = r.eastWest;
        o.seed = r.seed;
        o.maxError = r.maxError;
        o.scans = 7;
        const ExampleSurveyPlan plan = planExampleSurvey(o);
        double largest = 0.0;
        for (size_t i = 0; i < plan.scans.size(); ++i) {
            const ScanPose& p = plan.scans[i].pose;
            const double error = static_cast<double>(plan.scans[i].errorMicro) / 1e6;
            EXPECT_LE(std::fabs(error), r.maxError);
            largest = std::max(largest, std::fabs(error));
            double s = 0.0;
            double c = 0.0;
            surveyToShore(plan.frame, p.x, p.y, s, c);
            const double aboveBeach = p.z - beachHeight(plan.scene, s, c);
            EXPECT_GE(aboveBeach, 1.45);
            EXPECT_LE(aboveBeach, 2.05);
            if (i + 1 < plan.scans.size()) {
                const ScanPose& q = plan.scans[i + 1].pose;
                EXPECT_GT(r.eastWest ? q.x - p.x : q.y - p.y, 20.0);
                EXPECT_LT(std::hypot(q.x - p.x, q.y - p.y), plan.gpsMaxDist);
            }
            if (i + 2 < plan.scans.size()) {
                const ScanPose& q = plan.scans[i + 2].pose;
                EXPECT_GT(std::hypot(q.x - p.x, q.y - p.y), plan.gpsMaxDist);
            }
        }
        EXPECT_GT(largest, 0.5 * r.maxError);
    }
}

TEST(ExampleSurvey, SameSeedSameBytesOtherSeedDiffers) { EXPECT_EQ(sameSeedSameBytes(smallSurvey("")), 8); }

// An output folder that cannot be created is reported, not ignored.
TEST(ExampleSurvey, UnwritableFolderFails)
{
    TempDir dir;
    const std::string blocker = dir.path() + "/file";
    std::FILE* f = std::fopen(blocker.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    ExampleSurveyOptions o = smallSurvey(blocker + "/inside");
    EXPECT_FALSE(generateExampleSurvey(o));
}
