#include "tests/e2e/survey_run.h"
#include "tests/support/svg_elements.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <regex>

namespace {

// Column `index` (0-based) of a table row.
std::string column(const std::string& row, int index) { return fields(row).at(static_cast<std::size_t>(index)); }

TEST_F(SurveyRun, FailedPairIsSaidAndDoesNotHalveItsNeighboursRotation)
{
    // Scan 3's wall stands 3 m behind the others: its pair with scan 2 finds no point pairs.
    writeSurvey({{0, 0, 0.0, 1}, {0, 6, 0.3, 2}, {0, 12, 0.0, 3, 3.0}});
    const BatchRun r = run({"survey.csv"}, "4\n\n\n");
    EXPECT_EQ(r.exitStatus, 2);
    EXPECT_TRUE(std::regex_search(r.out,
                                  std::regex(R"(RMSfinal:  999\.000000  Registration failed: \d+ point pairs, )"
                                             R"(fewer than MINNUMPTS \(50\) \n)")))
        << r.out;
    EXPECT_EQ(r.out.find("RMSfinal:  999.000000  No rotation necessary"), std::string::npos);
    EXPECT_NE(read("surveylog.txt").find("Registration of scans 3 and 2 failed: too few point pairs\n"),
              std::string::npos)
        << read("surveylog.txt");
    EXPECT_NE(r.out.find("Registered 1 of 2 pairs: 1 failed, 0 not improved\n"
                         "Evaluated 1 of 2 pairs: 1 without a valid RMS\n100 percent complete \n"),
              std::string::npos)
        << r.out;
    // The evaluation's failure is logged as loudly as the registration's.
    EXPECT_TRUE(std::regex_search(read("surveylog.txt"),
                                  std::regex(R"(RMS of scans 3 and 2 not valid: \d+ point pairs, fewer than )"
                                             R"(MINNUMPTS \(50\)\n)")))
        << read("surveylog.txt");

    // Scan 2 is turned by its good pair's rotation alone, not by its mean with the failed row's zero.
    const std::vector<std::string> registration = lines("surveyreg.csv");
    ASSERT_EQ(registration.size(), 3u);
    ASSERT_EQ(column(registration[1], 0), "1");
    EXPECT_GT(std::fabs(std::stod(column(registration[1], 3))), 0.1);
    const std::vector<std::string> rotation = lines("surveyrot.csv");
    ASSERT_EQ(rotation.size(), 4u);
    EXPECT_EQ(column(rotation[2], 0), "2");
    EXPECT_EQ(column(rotation[2], 1), column(registration[1], 3)) << rotation[2];
    EXPECT_EQ(column(rotation[2], 2), "1");
    EXPECT_EQ(column(rotation[3], 2), "0");  // scan 3 has no result and is not turned
}

TEST_F(SurveyRun, MissingScanInRunAllKeepsItsEarlierRotatedFile)
{
    writeSurvey({{0, 0, 0.0, 1}, {0, 6, 0.3, 2}, {0, 12, -0.2, 3}});
    ASSERT_EQ(run({"survey.csv"}, "4\n\n\n").exitStatus, 0);
    const std::string rotated = read("survey_002_001_S2._rot.txt");
    ASSERT_FALSE(rotated.empty());

    const std::string scan = read("survey_002_001_S2.bxyz");
    std::remove(path("survey_002_001_S2.bxyz").c_str());
    const BatchRun r = run({"survey.csv"}, "4\n\n\n");
    EXPECT_EQ(r.exitStatus, 2);
    EXPECT_EQ(read("survey_002_001_S2._rot.txt"), rotated);
    EXPECT_FALSE(exists("survey_002_001_S2._rot.txt.part"));
    // The stale rotated file is not measured as if it belonged to this run.
    EXPECT_NE(r.out.find("Scans 2 and 1 are not evaluated: the rotated file survey_002_001_S2._rot.txt was not written "
                         "in this run \n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(read("surveylog.txt").find("survey_002_001_S2.bxyz"), std::string::npos);
    EXPECT_NE(r.out.find("Registered 0 of 3 pairs: 3 failed, 0 not improved\n"), std::string::npos);
    EXPECT_EQ(lines("surveyrms.csv").size(), 1u);

    // With the scan back, the run is whole again and writes what it wrote first.
    write("survey_002_001_S2.bxyz", scan);
    EXPECT_EQ(run({"survey.csv"}, "4\n\n\n").exitStatus, 0);
    EXPECT_EQ(read("survey_002_001_S2._rot.txt"), rotated);
}

TEST_F(SurveyRun, KilledRunAllLeavesEveryEarlierOutputAsItWas)
{
    // Enough points for the run to last a while (the emulated 32-bit build is slower anyway).
    wallStep_ = build_.runner.empty() ? 0.03 : 0.08;
    writeSurvey({{0, 0, 0.0, 1}, {0, 6, 0.3, 2}, {0, 12, -0.2, 3}, {0, 18, 0.1, 4}});
    const BatchRun first = run({"survey.csv"}, "4\n\n\n");
    ASSERT_EQ(first.exitStatus, 0);
    const char* outputs[] = {"surveyreg.csv",
                             "surveyrot.csv",
                             "surveyrms.csv",
                             "survey_001_001_S1._rot.txt",
                             "survey_002_001_S2._rot.txt",
                             "survey_003_001_S3._rot.txt",
                             "survey_004_001_S4._rot.txt",
                             "surveyplan.svg"};
    std::map<std::string, std::string> earlier;
    for (const char* name : outputs)
        earlier[name] = withoutPlanDate(read(name));  // a run past midnight redraws the same plan

    // Kills spread from the start to the end of the run.
    const int kills = 8;
    int killed = 0;
    for (int k = 1; k <= kills; ++k) {
        BatchLimits limits;
        limits.killAfter = first.seconds * k / (kills + 1);
        const BatchRun r = runBatch(build_, dir_.path(), {"survey.csv"}, "4\n\n\n", "tavrinbatch", limits);
        if (r.exitStatus == -1)
            ++killed;
        for (const char* name : outputs) {
            SCOPED_TRACE(std::string(name) + " after a kill at " + std::to_string(limits.killAfter) + " s");
            EXPECT_EQ(withoutPlanDate(read(name)), earlier[name]);
        }
    }
    EXPECT_GE(killed, kills / 2);  // most runs were stopped part way
}

TEST_F(SurveyRun, EvaluationWeighsOnlyTheDirectionsWithAValidRms)
{
    writeSurvey({{0, 0, 0.0, 1}, {0, 6, 0.0, 2}}, "FILEEXT 1\nMINNUMPTS 1\n");
    ASSERT_EQ(run({"survey.csv"}, "3\n\n\n").exitStatus, 0);
    const std::string both = lines("surveyrms.csv").at(1);
    const int np12 = std::stoi(column(both, 3)), np21 = std::stoi(column(both, 5));
    ASSERT_NE(np12, np21);

    // Between the two pair counts: the direction with fewer pairs has no valid RMS, and
    // the pair's RMS is that of the other direction, not a mean with the 999 marker.
    write("ipcreg.txt", read("ipcreg.txt") + "MINNUMPTS " + std::to_string(std::max(np12, np21)) + "\n");
    const BatchRun r = run({"survey.csv"}, "3\n\n\n");
    EXPECT_EQ(r.exitStatus, 0);
    const std::string row = lines("surveyrms.csv").at(1);
    const bool first = np12 > np21;
    EXPECT_EQ(column(row, first ? 4 : 2), "999.000000") << row;
    EXPECT_EQ(column(row, 6), column(row, first ? 2 : 4)) << row;
    EXPECT_EQ(column(row, 6), column(both, first ? 2 : 4)) << row;

    // Neither direction valid: the pair has no RMS and the run says so in its status.
    write("ipcreg.txt", read("ipcreg.txt") + "MINNUMPTS " + std::to_string(std::max(np12, np21) + 1) + "\n");
    EXPECT_EQ(run({"survey.csv"}, "3\n\n\n").exitStatus, 2);
    EXPECT_EQ(column(lines("surveyrms.csv").at(1), 6), "999.000000");
}

TEST_F(SurveyRun, PairStoppedAtTheIterationLimitIsSaid)
{
    writeSurvey({{0, 0, 0.0, 1}, {0, 6, 0.3, 2}}, "MAXITER 2\nMAXREPEAT 1\n");
    const BatchRun r = run({"survey.csv"}, "1\n\n\n");
    EXPECT_EQ(r.exitStatus, 0);  // the result stands; only the status of failures changes
    const std::string said = "Scans 1 and 2: stopped at the iteration limit (2 passes) before the heading settled; "
                             "raise MAXITER or MAXREPEAT\n";
    EXPECT_NE(r.out.find(said), std::string::npos) << r.out;
    EXPECT_NE(read("surveylog.txt").find(said), std::string::npos);

    writeSurvey({{0, 0, 0.0, 1}, {0, 6, 0.3, 2}});
    EXPECT_EQ(run({"survey.csv"}, "1\n\n\n").out.find("stopped at the iteration limit"), std::string::npos);
}

}  // namespace
