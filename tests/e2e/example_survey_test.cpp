// Run ALL on the example survey: after it every neighbouring pair agrees as well as
// the true headings let it, and modes 1, 2 and 3 in separate starts give the same tables.

#include "tests/e2e/e2e_fixture.h"

#ifdef HAVE_SURVEY_GENERATOR

#include "tools/survey_generator.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>

namespace {

using ExampleSurvey = BatchTest;

// The comma-separated fields of every line of a table after its header.
std::vector<std::vector<std::string>> rowsOf(const std::string& table)
{
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(table);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::istringstream row(line);
        for (std::string field; std::getline(row, field, ',');)
            fields.push_back(field);
        rows.push_back(fields);
    }
    return rows;
}

// rmswave of every pair of an RMS table, by "scan1,scan2".
std::map<std::string, double> rmsWaves(const std::string& table)
{
    std::map<std::string, double> result;
    for (const auto& f : rowsOf(table))
        if (f.size() >= 7)
            result[f[0] + "," + f[1]] = std::atof(f[6].c_str());
    return result;
}

// The survey database with every heading replaced by the true one from truth.csv.
std::string withTrueHeadings(const std::string& database, const std::string& truth)
{
    std::map<std::string, std::string> heading;
    for (const auto& f : rowsOf(truth))
        heading[f[0]] = f[3];
    std::string out = database.substr(0, database.find('\n') + 1);
    for (auto f : rowsOf(database)) {
        f[5] = heading[f[6]];
        for (std::size_t i = 0; i < f.size(); ++i)
            out += f[i] + (i + 1 < f.size() ? "," : "\n");
    }
    return out;
}

TEST_F(ExampleSurvey, RunAllBringsEveryPairToTheAgreementOfTheTrueHeadings)
{
    ExampleSurveyOptions options;
    options.outDir = dir_.path();
    options.scans = 4;
    options.points = 100000;
    options.seed = 11;
    options.quiet = true;
    ASSERT_TRUE(generateExampleSurvey(options));
    const std::string settings =
        replaced(replaced(read("ipcreg.txt"), "MAXITER 5\n", "MAXITER 50\n"), "MAXREPEAT 3\n", "MAXREPEAT 10\n");
    write("ipcreg.txt", settings);

    const BatchRun all = run({"survey.csv"}, "4\n\n\n");
    ASSERT_EQ(all.exitStatus, 0);
    EXPECT_EQ(read("surveylog.txt"), "");
    const std::string registration = read("surveyreg.csv"), rotation = read("surveyrot.csv"),
                      evaluation = read("surveyrms.csv");

    // The reference: the original scans with the true headings, evaluated alike.
    ASSERT_EQ(mkdir(path("truth").c_str(), 0755), 0);
    write("truth/survey.csv", withTrueHeadings(read("survey.csv"), read("truth.csv")));
    write("truth/ipcreg.txt", replaced(settings, "FILEEXT 0\n", "FILEEXT 1\n"));
    for (int id = 1; id <= 4; ++id) {
        const std::string scan =
            "survey_00" + std::to_string(id) + "_00" + std::to_string(id) + "_S" + std::to_string(id) + ".bxyz";
        ASSERT_EQ(symlink(path(scan).c_str(), path("truth/" + scan).c_str()), 0);
    }
    ASSERT_EQ(runBatch(build_, path("truth"), {"survey.csv"}, "3\n\n\n").exitStatus, 0);
    const std::map<std::string, double> after = rmsWaves(evaluation), truth = rmsWaves(read("truth/surveyrms.csv"));
    ASSERT_EQ(after.size(), 3u);
    ASSERT_EQ(truth.size(), 3u);
    for (const auto& [pair, rms] : after) {
        SCOPED_TRACE(pair);
        ASSERT_EQ(truth.count(pair), 1u);
        EXPECT_LT(rms, 1.15 * truth.at(pair));
    }

    for (const char* mode : {"1", "2", "3"})
        ASSERT_EQ(run({"survey.csv"}, std::string(mode) + "\n\n\n").exitStatus, 0);
    EXPECT_EQ(read("surveyreg.csv"), registration);
    EXPECT_EQ(read("surveyrot.csv"), rotation);
    EXPECT_EQ(read("surveyrms.csv"), evaluation);
}

// The headings the registration found, by scan id, from a rotation table, and the
// corrections that undo the errors in truth.csv.
std::map<int, double> tableHeadings(const std::string& rotationTable)
{
    std::map<int, double> result;
    for (const auto& f : rowsOf(rotationTable))
        result[std::atoi(f[0].c_str())] = std::atof(f[1].c_str());
    return result;
}

std::map<int, double> trueCorrections(const std::string& truth)
{
    std::map<int, double> result;
    for (const auto& f : rowsOf(truth))
        result[std::atoi(f[0].c_str())] = -std::atof(f[2].c_str());
    return result;
}

// The settings file with the solution method's keys at the program's defaults.
std::string atTheDefaults(std::string settings, const char* regsol)
{
    for (const char* key : {"REGSOL ", "MAXITER ", "MAXREPEAT ", "ALPHATHRESH ", "RMSTHRESH "}) {
        const std::size_t at = settings.find(std::string("\n") + key);
        settings.erase(at + 1, settings.find('\n', at + 1) - at);
    }
    return settings + "REGSOL " + regsol + "\n";
}

TEST_F(ExampleSurvey, PointToPlaneAtTheDefaultsFindsEveryHeading)
{
    ExampleSurveyOptions options;
    options.outDir = dir_.path();
    options.scans = 4;
    options.points = 100000;
    options.seed = 11;
    options.quiet = true;
    ASSERT_TRUE(generateExampleSurvey(options));
    write("ipcreg.txt", atTheDefaults(read("ipcreg.txt"), "3"));
    ASSERT_EQ(run({"survey.csv"}, "4\n\n\n").exitStatus, 0);
    const std::map<int, double> found = tableHeadings(read("surveyrot.csv")),
                                truth = trueCorrections(read("truth.csv"));
    ASSERT_EQ(found.size(), 4u);
    for (const auto& [id, correction] : truth) {
        SCOPED_TRACE(id);
        EXPECT_NEAR(found.at(id), correction, 0.003);
    }
}

// Real airborne points of a steep slope, scanned sparsely (about 3000 points a scan):
// every neighbouring pair ends closer to its true relative heading than it began.
TEST_F(ExampleSurvey, SparseTerrainSurveyComesCloserOnEveryPair)
{
    ExampleSurveyOptions options;
    options.outDir = dir_.path();
    options.terrainPath = TAVRIN_SOURCE_DIR "/tests/data/isprs_samp11/samp11.txt";
    options.seed = 3;
    options.quiet = true;
    ASSERT_TRUE(generateExampleSurvey(options));
    write("ipcreg.txt", replaced(read("ipcreg.txt"), "REGSOL 2\n", "REGSOL 3\n"));
    ASSERT_EQ(run({"survey.csv"}, "1\n\n\n").exitStatus, 0);
    const std::map<int, double> truth = trueCorrections(read("truth.csv"));
    double sum = 0.0;
    const auto rows = rowsOf(read("surveyreg.csv"));
    ASSERT_EQ(rows.size(), 5u);
    for (const auto& f : rows) {
        SCOPED_TRACE(f[0] + "," + f[2]);
        const int a = std::atoi(f[0].c_str()), b = std::atoi(f[2].c_str());
        const double before = truth.at(b) - truth.at(a);
        const double after = (std::atof(f[3].c_str()) - std::atof(f[1].c_str())) - before;
        EXPECT_LT(std::fabs(after), std::fabs(before));
        sum += std::fabs(after);
    }
    EXPECT_LT(sum / 5.0, 0.08);
}

}  // namespace

#endif
