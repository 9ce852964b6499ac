// Point to plane on pairs of the example generator: a heading off by a large angle is
// found by the search, a pair of two different cliffs is said not to be trusted, and the
// figures behind each pair are written to <db>pairs.csv.

#include "tests/e2e/survey_run.h"
#include "tests/support/svg_elements.h"

#ifdef HAVE_SURVEY_GENERATOR

#include "tools/survey_generator.h"

#include <cmath>
#include <cstdlib>
#include <sstream>

namespace {

const char* const FIGURES_HEADER = "scan1,scan2,relative(degrees),relative_sigma(degrees),common(degrees),"
                                   "common_sigma(degrees),correlation,rms,noise_floor,numpts,sampled,searched,"
                                   "verdict,reason\n";

class PairVerdict : public BatchTest {
protected:
    // Two set-ups 30 m apart, scan 2's heading off by `error` degrees, REGSOL 3 at the
    // program's own settings for its solver keys.
    void writePair(double error, uint32_t seed = 1)
    {
        ExampleSurveyOptions options;
        options.outDir = dir_.path();
        options.scans = 2;
        options.points = 40000;
        options.spacing = 30.0;
        options.errors = {0.0, error};
        options.seed = seed;
        options.regsol = 3;
        options.quiet = true;
        ASSERT_TRUE(generateExampleSurvey(options));
        std::string settings;
        std::istringstream lines(read("ipcreg.txt"));
        for (std::string line; std::getline(lines, line);)
            if (line.rfind("MAXREPEAT ", 0) != 0 && line.rfind("MAXITER ", 0) != 0 && line.rfind("ALPHATHRESH ", 0) != 0
                && line.rfind("RMSTHRESH ", 0) != 0)
                settings += line + "\n";
        write("ipcreg.txt", settings);
    }

    // The rows of a table after its header.
    std::vector<std::vector<std::string>> rows(const std::string& name)
    {
        std::vector<std::vector<std::string>> result;
        std::istringstream lines(read(name));
        std::string line;
        std::getline(lines, line);
        while (std::getline(lines, line))
            result.push_back(fields(line));
        return result;
    }
};

TEST_F(PairVerdict, HeadingOffByAQuarterTurnIsFound)
{
    writePair(90.0);
    const BatchRun r = run({"survey.csv"}, "1\n\n\n");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_NE(r.out.find("Scans 1 and 2 from the database headings: too few point pairs; searching +/- 180 deg\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("Heading search: scan 1 "), std::string::npos);
    EXPECT_NE(r.out.find("Registered 1 of 1 pairs: 0 failed, 0 not improved\n"), std::string::npos);
    EXPECT_EQ(read("surveylog.txt"), "");
    const auto registered = rows("surveyreg.csv");
    ASSERT_EQ(registered.size(), 1u);
    EXPECT_NEAR(std::atof(registered[0][1].c_str()), 0.0, 0.01);
    EXPECT_NEAR(std::atof(registered[0][3].c_str()), -90.0, 0.01);

    // The figures: the relative heading found, its small standard error, the verdict.
    EXPECT_EQ(read("surveypairs.csv").substr(0, std::string(FIGURES_HEADER).size()), FIGURES_HEADER);
    const auto figures = rows("surveypairs.csv");
    ASSERT_EQ(figures.size(), 1u);
    ASSERT_EQ(figures[0].size(), 14u);
    EXPECT_EQ(figures[0][0] + "," + figures[0][1], "1,2");
    EXPECT_NEAR(std::atof(figures[0][2].c_str()), -90.0, 0.01);
    EXPECT_LT(std::atof(figures[0][3].c_str()), 0.01);
    EXPECT_LT(std::atof(figures[0][7].c_str()), 3.0 * std::atof(figures[0][8].c_str()));
    EXPECT_EQ(figures[0][11] + "," + figures[0][12] + "," + figures[0][13], "1,trusted,\"\"");

    // Without the search the solve starts from the database headings, and finds no pairs.
    write("ipcreg.txt", read("ipcreg.txt") + "HEADINGSEARCH 0\n");
    const BatchRun unsearched = run({"survey.csv"}, "1\n\n\n");
    EXPECT_EQ(unsearched.exitStatus, 2);
    EXPECT_EQ(unsearched.out.find("searching"), std::string::npos);
    EXPECT_NE(unsearched.out.find("Registered 0 of 1 pairs: 1 failed, 0 not improved\n"), std::string::npos);
    EXPECT_EQ(rows("surveypairs.csv").at(0).at(12), "failed");
}

// A database that names a scan of another cliff: whatever heading the search finds, the
// scans stay far apart for their noise.
TEST_F(PairVerdict, PairOfTwoCliffsIsNotTrusted)
{
    writePair(0.5, 7);
    const std::string other = read("survey_002_002_S2.bxyz");
    writePair(0.5, 1);
    write("survey_002_002_S2.bxyz", other);
    const BatchRun r = run({"survey.csv"}, "1\n\n\n");
    EXPECT_EQ(r.exitStatus, 2);
    const std::string said = "Scans 1 and 2: registration not trusted: RMS ";
    const std::size_t at = r.out.find(said);
    ASSERT_NE(at, std::string::npos);
    const std::string line = r.out.substr(at, r.out.find('\n', at) + 1 - at);
    EXPECT_NE(line.find(" mm against a noise floor of "), std::string::npos);
    EXPECT_EQ(read("surveylog.txt"), line);
    EXPECT_NE(r.out.find("Registered 0 of 1 pairs: 1 failed, 0 not improved\n"), std::string::npos);
    const auto registered = rows("surveyreg.csv");
    ASSERT_EQ(registered.size(), 1u);
    EXPECT_EQ(registered[0][1] + "," + registered[0][3], "0.000000,0.000000");
    EXPECT_EQ(rows("surveypairs.csv").at(0).at(12), "not trusted");
    // The plan draws it in the colour of its state and says so at its line; its row keeps
    // the RMS at the database headings, where the two cliffs give none.
    const std::string plan = read("surveyplan.svg");
    EXPECT_EQ(elements(plan, "line", "pair").at(0).at("data-state"), "not-trusted");
    EXPECT_EQ(elements(plan, "text", "pair-label").at(0).text, "not trusted");
}

// A last distance window of half a millimetre leaves too few pairs for scans with 3 mm of
// noise: the result of the window before it stands.
TEST_F(PairVerdict, StarvedLastWindowKeepsTheWindowBefore)
{
    writePair(0.5);
    write("ipcreg.txt", read("ipcreg.txt") + "MAXDISTFINAL 0.0005\nMAXREPEAT 2\nMINNUMPTS 3000\n");
    const BatchRun r = run({"survey.csv"}, "1\n\n\n");
    EXPECT_EQ(r.exitStatus, 0);
    const std::size_t at = r.out.find("Distance window 0.000000 to 0.000500: ");
    ASSERT_NE(at, std::string::npos);
    EXPECT_NE(r.out.find("the result of the window 0.000000 to 0.500000 is kept\n", at), std::string::npos);
    const auto registered = rows("surveyreg.csv");
    ASSERT_EQ(registered.size(), 1u);
    EXPECT_NEAR(std::atof(registered[0][3].c_str()) - std::atof(registered[0][1].c_str()), -0.5, 0.01);
}

}  // namespace

#endif
