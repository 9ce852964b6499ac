#include "tests/e2e/survey_run.h"

#include "batch/engine/transform.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <regex>

namespace {

// The "RMSfinal" lines of the ping-pong method, as registration rows would show them.
std::vector<std::string> rowsFromResultLines(const std::string& out)
{
    std::vector<std::string> rows;
    const std::regex line(
        R"(RMSfinal:  (\S+)  rotations of Scan (\d+) = (\S+) && Scan (\d+) = (\S+) from (\d+) pts in (\d+) iterations\n)");
    for (std::sregex_iterator m(out.begin(), out.end(), line), end; m != end; ++m)
        rows.push_back((*m)[2].str() + "," + (*m)[3].str() + "," + (*m)[4].str() + "," + (*m)[5].str() + ","
                       + (*m)[1].str() + "," + (*m)[6].str() + "," + (*m)[7].str() + "\n");
    return rows;
}

TEST_F(SurveyRun, RegistrationRowsMatchTheSolverResults)
{
    writeSurvey({{0, 0, 0.0, 1}, {0, 6, 0.3, 2}, {0, 12, -0.2, 3}});
    const BatchRun r = run({"survey.csv"}, "1\n\n\n");
    ASSERT_EQ(r.exitStatus, 0);
    const std::vector<std::string> table = lines("surveyreg.csv");
    ASSERT_EQ(table.size(), 3u);
    EXPECT_EQ(table[0], "scan1,rotation2,scan2,rotation2,rms,numpts,num_iters \n");
    const std::vector<std::string> rows = rowsFromResultLines(r.out);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(table[1], rows[0]);
    EXPECT_EQ(table[2], rows[1]);
    EXPECT_EQ(table[1].substr(0, 2), "1,");  // scan 1's north pair
    EXPECT_NE(r.out.find("REGISTERING SCANS\n"), std::string::npos);
    EXPECT_NE(r.out.find("Time for registration of scan 3 is "), std::string::npos);
    EXPECT_NE(r.out.find("REGISTRATION OF SCANS COMPLETE\n\nPlan of the run written to surveyplan.svg\nRegistered 2 of "
                         "2 pairs: 0 failed, 0 not improved\n"
                         "100 percent complete \n"),
              std::string::npos);
}

TEST_F(SurveyRun, EveryMethodPrintsTheRowItWrites)
{
    // Each method's "RMSfinal" line, with the table's iteration column (0 but for ping-pong).
    struct Method {
        const char* regsol;
        const char* line;
    } methods[] = {
        {"0", R"(RMSfinal:  (\S+)  rotations of Scan (1) = (\S+) && Scan (2) = (\S+) from (\d+) pts()\n)"},
        {"1", R"(RMSfinal:  (\S+)  rotations of b1 = (\S+) && b2 = (\S+) from (\d+) pts\n)"},
        {"2",
         R"(RMSfinal:  (\S+)  rotations of Scan (1) = (\S+) && Scan (2) = (\S+) from (\d+) pts in (\d+) iterations\n)"},
        {"3",
         R"(RMSfinal:  (\S+)  rotations of Scan (1) = (\S+) && Scan (2) = (\S+) from (\d+) pts in (\d+) iterations\n)"},
    };
    for (const Method& m : methods) {
        SCOPED_TRACE(m.regsol);
        writeSurvey({{0, 0, 0.0, 1}, {0, 6, 0.3, 2}},
                    std::string("REGSOL ") + m.regsol + "\nMAXITER 3\nMAXREPEAT 2\nALPHA 0.5\n");
        const BatchRun r = run({"survey.csv"}, "1\n\n\n");
        ASSERT_EQ(r.exitStatus, 0);
        std::smatch found;
        ASSERT_TRUE(std::regex_search(r.out, found, std::regex(m.line)));
        const std::vector<std::string> table = lines("surveyreg.csv");
        ASSERT_EQ(table.size(), 2u);
        const bool searched = found.size() == 5;  // the iterative search names no scans
        const std::string row = searched
            ? "1," + found[2].str() + ",2," + found[3].str() + "," + found[1].str() + "," + found[4].str() + ",0\n"
            : "1," + found[3].str() + ",2," + found[5].str() + "," + found[1].str() + "," + found[6].str() + ","
                + (found[7].str().empty() ? "0" : found[7].str()) + "\n";
        EXPECT_EQ(table[1], row);
    }
}

TEST_F(SurveyRun, PairThatDoesNotImproveShowsZeroRotationsAndTheInitialRms)
{
    writeSurvey({{0, 0, 0.0, 1}, {0, 6, 0.0, 2}}, "REGMODE 0\n");
    // The same points in both files: every point pairs with itself, RMS 0 from the start.
    write("survey_002_001_S2.bxyz", read("survey_001_001_S1.bxyz"));
    const BatchRun r = run({"survey.csv"}, "1\n\n\n");
    const std::vector<std::string> table = lines("surveyreg.csv");
    ASSERT_EQ(table.size(), 2u);
    EXPECT_TRUE(std::regex_match(table[1], std::regex(R"(1,0\.000000,2,0\.000000,0\.000000,\d+,\d+\n)"))) << table[1];
    EXPECT_NE(r.out.find("RMSfinal:  0.000000  No rotation necessary.  Scan is at optimal alignment \n"),
              std::string::npos);
}

TEST_F(SurveyRun, UnreadableScanIsLoggedAndItsNorthPairNotTried)
{
    writeSurvey({{0, 0, 0.0, 1}, {0, 6, 0.3, 2}, {0, 12, -0.2, 3}});
    std::remove(path("survey_002_001_S2.bxyz").c_str());
    const BatchRun r = run({"survey.csv"}, "1\n\n\n");
    EXPECT_EQ(r.exitStatus, 2);
    EXPECT_NE(r.out.find("Registered 0 of 3 pairs: 3 failed, 0 not improved\n"), std::string::npos);
    EXPECT_EQ(read("surveylog.txt"),
              "Unable to open file: survey_002_001_S2.bxyz \n"
              "Please check your GPS file for an error here. \n"
              "Unable to open file: survey_002_001_S2.bxyz \n"
              "Please check your GPS file for an error here. \n"
              "Unable to open file: survey_002_001_S2.bxyz \n"
              "Please check your GPS file for an error here. \n");
    EXPECT_EQ(lines("surveyreg.csv").size(), 1u);
    EXPECT_EQ(r.out.find("Time for registration of scan 1 "), std::string::npos);
    EXPECT_EQ(r.out.find("Time for registration of scan 2 "), std::string::npos);
}

TEST_F(SurveyRun, NeighboursThatAreNotMutualAreBothRegistered)
{
    // Scan 1's north neighbour is scan 2, but scan 2's south neighbour is scan 3:
    // every neighbouring pair is still registered, each once.
    writeSurvey({{0, 0, 0.0, 1}, {0, 6, 0.0, 2}, {5, 4, 0.0, 3}}, "GPSMAXDIST 20\n");
    const BatchRun r = run({"survey.csv"}, "1\n\n\n");
    EXPECT_NE(r.out.find(" Location:  1 N: 2 S: None \n Location:  2 N: None S: 3 \n Location:  3 N: 2 S: 1 \n"),
              std::string::npos);
    const std::vector<std::string> table = lines("surveyreg.csv");
    ASSERT_EQ(table.size(), 4u);
    EXPECT_TRUE(std::regex_match(table[1], std::regex(R"(1,[-0-9.]+,2,.*\n)"))) << table[1];
    EXPECT_TRUE(std::regex_match(table[2], std::regex(R"(3,[-0-9.]+,1,.*\n)"))) << table[2];
    EXPECT_TRUE(std::regex_match(table[3], std::regex(R"(3,[-0-9.]+,2,.*\n)"))) << table[3];
}

TEST_F(SurveyRun, SiteWindowEndsBelongToTheWindow)
{
    writeSurvey({{0, 0, 0.0, 1}, {0, 5, 0.0, 2}, {0, 10, 0.0, 3}}, "GPSMINDIST 5\nGPSMAXDIST 10\n");
    BatchRun r = run({"survey.csv"}, "7\n\n\n");
    EXPECT_EQ(r.exitStatus, 0);
    std::vector<std::string> table = lines("surveyrms.csv");
    ASSERT_EQ(table.size(), 4u);
    EXPECT_EQ(table[0], "scan1,scan2,rms12,np12,rms21,np21,rmswave,spacing,range \n");
    EXPECT_EQ(table[1].substr(0, 4), "1,2,");
    EXPECT_EQ(table[2].substr(0, 4), "1,3,");
    EXPECT_EQ(table[3].substr(0, 4), "2,3,");
    EXPECT_NE(table[2].find(",10.000000,0.000000\n"), std::string::npos);  // spacing, range of binary scans
    EXPECT_NE(r.out.find("Total Time for all RMS evaluations: "), std::string::npos);

    write("ipcreg.txt", read("ipcreg.txt") + "GPSMAXDIST 9.99\n");
    r = run({"survey.csv"}, "6\n\n\n");
    table = lines("surveyreg.csv");
    ASSERT_EQ(table.size(), 3u);
    EXPECT_EQ(table[0], "scan1,rotation2,scan2,rotation2,rms,numpts,num_iters \n");
    EXPECT_NE(r.out.find("Time for registration of scan 3 is "), std::string::npos);
    EXPECT_NE(r.out.find("Total Time for all registrations: "), std::string::npos);
}

TEST_F(SurveyRun, RotationByTheMeanOfTheRecordedRotations)
{
    writeSurvey({{0, 0, 0.0, 1}, {0, 6, 0.0, 2}, {0, 12, 0.0, 3}});
    write("surveyreg.csv",
          "scan1,rotation2,scan2,rotation2,rms,numpts,num_iters \n"
          "1,0.200000,2,0.400000,0.010000,100,3\n"
          "2,0.100000,1,-0.100000,0.010000,100,3");  // no line end after the last row
    const BatchRun r = run({"survey.csv"}, "2\n\n\n");
    EXPECT_EQ(r.exitStatus, 0);
    const std::vector<std::string> table = lines("surveyrot.csv");
    ASSERT_EQ(table.size(), 4u);
    EXPECT_EQ(table[0], "ID,rotation(degrees),numRotVals,RotSpread(Degrees),Numpoints,NumpointsED \n");
    const std::string n = std::to_string(read("survey_001_001_S1.bxyz").size() / 32);
    EXPECT_EQ(table[1], "1,0.050000,2,0.300000," + n + "," + n + " \n");
    EXPECT_EQ(table[2].substr(0, 22), "2,0.250000,2,0.300000,");
    EXPECT_EQ(table[3].substr(0, 17), "3,0.000000,0,0.0,");
    EXPECT_NE(r.out.find("Loading data from file surveyreg.csv \n"), std::string::npos);
    EXPECT_NE(r.out.find("Percent complete........0 \n"), std::string::npos);
    EXPECT_NE(r.out.find("Percent complete........33 \n"), std::string::npos);
    EXPECT_NE(r.out.find("Percent complete........66 \n"), std::string::npos);
    EXPECT_NE(r.out.find("Rotating " + n + " Points in 1 by 0.050000 degrees \n"), std::string::npos);
    EXPECT_NE(r.out.find("3 has no rotations, so the rotation will not be performed \n"
                         "No rotation values found !=0 for 3 so "),
              std::string::npos);
    EXPECT_NE(r.out.find("Total Time for rotations of 3 files is "), std::string::npos);

    // The first point of scan 1, turned by 0.05 degrees about its scanner at (0, 0).
    const std::string bytes = read("survey_001_001_S1.bxyz");
    double p[3];
    std::memcpy(p, bytes.data(), 24);
    const double t = 0.05 * DEG;
    char expected[120];
    std::snprintf(expected, sizeof expected, "%lf %lf %lf 0 0 0 0 \n", p[0] * std::cos(t) - p[1] * std::sin(t),
                  p[1] * std::cos(t) + p[0] * std::sin(t), p[2]);
    EXPECT_EQ(lines("survey_001_001_S1._rot.txt")[0], expected);
    // Scan 3 is written unrotated.
    std::snprintf(expected, sizeof expected, "%lf %lf %lf 0 0 0 0 \n", 0.0, 0.0, 0.0);
    std::memcpy(p, read("survey_003_001_S3.bxyz").data(), 24);
    std::snprintf(expected, sizeof expected, "%lf %lf %lf 0 0 0 0 \n", p[0], p[1], p[2]);
    EXPECT_EQ(lines("survey_003_001_S3._rot.txt")[0], expected);
}

TEST_F(SurveyRun, RotationFiltersOnlyWhenAsked)
{
    writeSurvey({{0, 0, 0.0, 1}, {0, 6, 0.0, 2}}, "ZMAX 2\n");
    write("surveyreg.csv", "scan1,rotation2,scan2,rotation2,rms,numpts,num_iters \n1,0.2,2,0.4,0.01,100,3\n");
    run({"survey.csv"}, "2\n\n\n");
    const std::string n = std::to_string(read("survey_001_001_S1.bxyz").size() / 32);
    EXPECT_EQ(lines("surveyrot.csv")[1], "1,0.200000,1,0.000000," + n + "," + n + " \n");

    write("ipcreg.txt", read("ipcreg.txt") + "APPLYFILTER 1\n");
    run({"survey.csv"}, "2\n\n\n");
    const std::string row = lines("surveyrot.csv")[1];
    const int written = std::stoi(row.substr(row.rfind(',') + 1));
    EXPECT_GT(written, 0);
    EXPECT_LT(written, std::stoi(n));  // the points above z = 2 are dropped
    EXPECT_EQ(static_cast<int>(lines("survey_001_001_S1._rot.txt").size()), written);
}

TEST_F(SurveyRun, RunAllEqualsTheThreeModesInTurn)
{
    writeSurvey({{0, 0, 0.0, 1}, {0, 6, 0.4, 2}, {0, 12, -0.3, 3}});
    const BatchRun all = run({"survey.csv"}, "4\n\n\n");
    EXPECT_EQ(all.exitStatus, 0);
    const std::size_t reg = all.out.find("REGISTERING SCANS\n"), rot = all.out.find("ROTATING SCANS\n"),
                      eval = all.out.find("EVALUATING RMS OF SCANS\n");
    EXPECT_LT(reg, rot);
    EXPECT_LT(rot, eval);
    EXPECT_NE(all.out.find("EVALUATION OF RMS COMPLETE\n\nPlan of the run written to surveyplan.svg\nRegistered 2 of 2 "
                           "pairs: 0 failed, 0 not improved\n"
                           "Evaluated 2 of 2 pairs: 0 without a valid RMS\n"
                           "100 percent complete \n"),
              std::string::npos);
    const std::string registration = read("surveyreg.csv"), rotation = read("surveyrot.csv"),
                      evaluation = read("surveyrms.csv");
    for (const char* mode : {"1", "2", "3"})
        run({"survey.csv"}, std::string(mode) + "\n\n\n");
    EXPECT_EQ(read("surveyreg.csv"), registration);
    EXPECT_EQ(read("surveyrot.csv"), rotation);
    EXPECT_EQ(read("surveyrms.csv"), evaluation);

    // After the rotation every neighbouring pair agrees far better than before it.
    write("ipcreg.txt", read("ipcreg.txt") + "FILEEXT 1\n");
    run({"survey.csv"}, "3\n\n\n");
    const std::vector<std::string> before = lines("surveyrms.csv");
    const std::vector<std::string> after = [&] {
        writeFile(path("rms_after.csv"), evaluation);
        return lines("rms_after.csv");
    }();
    ASSERT_EQ(before.size(), 3u);
    ASSERT_EQ(after.size(), 3u);
    auto rmswave = [](const std::string& row) {
        std::size_t at = 0;
        for (int comma = 0; comma < 6; ++comma)
            at = row.find(',', at) + 1;
        return std::stod(row.substr(at));
    };
    for (int i = 1; i < 3; ++i) {
        SCOPED_TRACE(after[i]);
        EXPECT_LT(rmswave(after[i]), 0.7 * rmswave(before[i]));
    }
    EXPECT_EQ(after[1].substr(0, 4), "2,1,");
}

TEST_F(SurveyRun, EvaluationLinesAndRows)
{
    writeSurvey({{0, 0, 0.0, 1}, {0, 6, 0.0, 2}}, "FILEEXT 1\n");
    const BatchRun r = run({"survey.csv"}, "3\n\n\n");
    const std::vector<std::string> table = lines("surveyrms.csv");
    ASSERT_EQ(table.size(), 2u);
    EXPECT_TRUE(std::regex_match(table[1], std::regex(R"(2,1,[0-9.]+,\d+,[0-9.]+,\d+,[0-9.]+,6\.000000,0\.000000\n)")))
        << table[1];
    EXPECT_TRUE(std::regex_search(r.out,
                                  std::regex(R"(RMS for scans 2 and 1 = [0-9.]+ \n\n)"
                                             R"(2:  N:  7\.000000  S: 6\.000000 1: N: 6\.000000 S: 7\.000000\n\n)")));
    EXPECT_NE(r.out.find("Time for RMS evaluation of scan 1 is "), std::string::npos);
}

}  // namespace
