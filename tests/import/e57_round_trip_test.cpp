// The example survey as one E57 file, rebuilt with --all-scans --write-database: the
// batch program's registration on the rebuilt database finds the corrections it finds
// on the generator's own database.
#include "tests/import/sample_files.h"
#include "tests/support/batch_process.h"
#include "tests/support/test_files.h"

#include "tools/survey_generator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

namespace {

#ifndef TAVRIN_BATCH
#define TAVRIN_BATCH ""
#endif

// Heading corrections of a registration table by "scan1,scan2": the two rotations.
std::map<std::string, std::pair<double, double>> corrections(const std::string& table)
{
    std::map<std::string, std::pair<double, double>> found;
    std::istringstream in(table);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::istringstream row(line);
        for (std::string field; std::getline(row, field, ',');) {
            f.push_back(field);
        }
        if (f.size() >= 4) {
            found[f[0] + "," + f[2]] = {std::atof(f[1].c_str()), std::atof(f[3].c_str())};
        }
    }
    return found;
}

// The solver's keys at the batch program's defaults, as the example runs it.
std::string atTheDefaults(const std::string& settings)
{
    std::istringstream in(settings);
    std::string kept;
    for (std::string line; std::getline(in, line);) {
        const std::string key = line.substr(0, line.find(' '));
        if (key != "MAXREPEAT" && key != "MAXITER" && key != "ALPHATHRESH" && key != "RMSTHRESH") {
            kept += line + "\n";
        }
    }
    return kept;
}

TEST(E57RoundTrip, RebuiltDatabaseFindsTheSameCorrections)
{
    if (!haveImporter() || std::string(TAVRIN_BATCH).empty())
        GTEST_SKIP() << "built without the programs' paths";
    TempDir dir;
    ExampleSurveyOptions options;
    options.outDir = dir.path();
    options.scans = 3;
    options.points = 20000;
    options.regsol = 3;
    options.quiet = true;
    options.formats = {PointFormat::Bxyz, PointFormat::E57};
    ASSERT_TRUE(generateExampleSurvey(options));
    const std::string settings = atTheDefaults(readFile(dir.file("ipcreg.txt")));
    writeFile(dir.file("ipcreg.txt"), settings);
    std::filesystem::create_directory(dir.file("rebuilt"));
    writeFile(dir.file("rebuilt/ipcreg.txt"), settings);

    const ProgramRun import =
        runImporter(dir, "survey.e57 --database rebuilt/rebuilt.csv --all-scans --write-database");
    ASSERT_EQ(import.status, 0) << import.err;
    // The advice is the generator's own TRANSX and TRANSY, which the settings hold.
    EXPECT_NE(import.out.find("TRANSX 475000.0, TRANSY 3640000.0"), std::string::npos) << import.out;
    EXPECT_NE(settings.find("TRANSX 475000.0\nTRANSY 3640000.0\n"), std::string::npos);

    const BatchBuild batch{TAVRIN_BATCH, ""};
    ASSERT_EQ(runBatch(batch, dir.path(), {"survey.csv"}, "1\n\n\n").exitStatus, 0);
    ASSERT_EQ(runBatch(batch, dir.file("rebuilt"), {"rebuilt.csv"}, "1\n\n\n").exitStatus, 0);
    const auto own = corrections(readFile(dir.file("surveyreg.csv")));
    const auto rebuilt = corrections(readFile(dir.file("rebuilt/rebuiltreg.csv")));
    ASSERT_EQ(own.size(), 2u);
    ASSERT_EQ(rebuilt.size(), own.size());
    for (const auto& [pair, turns] : own) {
        SCOPED_TRACE(pair);
        ASSERT_EQ(rebuilt.count(pair), 1u);
        EXPECT_NEAR(rebuilt.at(pair).first, turns.first, 0.0005);
        EXPECT_NEAR(rebuilt.at(pair).second, turns.second, 0.0005);
        EXPECT_GT(std::fabs(turns.first) + std::fabs(turns.second), 0.01);  // there was something to find
    }
}

}  // namespace
