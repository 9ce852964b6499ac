// The rotation's adjustment of the survey: a registration table with a loop, one of its
// rows off by a tenth of a degree, given to the rotation alone (mode 2).

#include "tests/e2e/survey_run.h"

#include <cmath>
#include <cstdlib>

namespace {

// Rows of another method (no figures): each is known to 0.01 degrees. Every pair of the
// four scans is registered, so the loops through pair 2-4, whose row is 0.1 degrees off,
// all close badly and the others well.
const char* const LOOP = "scan1,rotation2,scan2,rotation2,rms,numpts,num_iters \n"
                         "1,0.100000,2,0.200000,0.005000,1000,5\n"
                         "2,0.200000,3,0.300000,0.005000,1000,5\n"
                         "3,0.300000,4,0.400000,0.005000,1000,5\n"
                         "1,0.100000,3,0.300000,0.005000,1000,5\n"
                         "2,0.200000,4,0.500000,0.005000,1000,5\n"
                         "1,0.100000,4,0.400000,0.005000,1000,5\n";

TEST_F(SurveyRun, AdjustmentRejectsThePairThatBreaksTheLoop)
{
    writeSurvey({{0, 0, 0.0, 1}, {0, 6, 0.0, 2}, {0, 12, 0.0, 3}, {0, 18, 0.0, 4}});
    write("surveyreg.csv", LOOP);
    const BatchRun r = run({"survey.csv"}, "2\n\n\n");
    EXPECT_EQ(r.exitStatus, 0);
    const std::string said = "Pair 2-4 rejected by the adjustment: residual ";
    const std::size_t at = r.out.find(said);
    ASSERT_NE(at, std::string::npos) << r.out;
    const std::string line = r.out.substr(at, r.out.find('\n', at) + 1 - at);
    EXPECT_EQ(read("surveylog.txt"), line);
    EXPECT_GT(std::atof(line.c_str() + said.size()), 0.05);

    // The loop without that row is consistent: each scan keeps its rows' correction.
    const std::vector<std::string> rotation = lines("surveyrot.csv");
    ASSERT_EQ(rotation.size(), 5u);
    const char* expected[] = {"0.100000", "0.200000", "0.300000", "0.400000"};
    for (std::size_t k = 0; k < 4; ++k)
        EXPECT_EQ(fields(rotation[k + 1]).at(1), expected[k]) << rotation[k + 1];

    const std::vector<std::string> adjusted = lines("surveyadjust.csv");
    ASSERT_EQ(adjusted.size(), 5u);
    EXPECT_EQ(adjusted[0],
              "ID,correction(degrees),sigma(degrees),sigma_at_range(mm),pairs_used,pairs_rejected,"
              "A3_corrected(degrees)\n");
    const std::vector<std::string> four = fields(adjusted[4]);
    ASSERT_EQ(four.size(), 7u);
    EXPECT_EQ(four[0] + "," + four[1] + "," + four[4] + "," + four[5] + "," + four[6], "4,0.400000,2,1,0.400000");
    // The sigma as the displacement it makes at the wall, 10 to 12 m from the scanner.
    const double sigma = std::atof(four[2].c_str()), atRange = std::atof(four[3].c_str());
    EXPECT_GT(sigma, 0.0);
    EXPECT_LT(sigma, 0.03);  // below the rows' common turns: 3 x 0.01 degrees each
    EXPECT_GT(atRange, sigma * DEG * 10.0 * 1000.0);
    EXPECT_LT(atRange, sigma * DEG * 12.0 * 1000.0);

    // ADJUST 0: the mean of the rows, as before, and no adjustment table.
    std::remove(path("surveyadjust.csv").c_str());
    write("ipcreg.txt", read("ipcreg.txt") + "ADJUST 0\n");
    const BatchRun mean = run({"survey.csv"}, "2\n\n\n");
    EXPECT_EQ(mean.out.find("rejected"), std::string::npos);
    EXPECT_EQ(fields(lines("surveyrot.csv").at(4)).at(1), "0.433333");
    EXPECT_FALSE(exists("surveyadjust.csv"));
}

}  // namespace
