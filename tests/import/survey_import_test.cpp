// The whole survey in one command: every scan of an E57 or PTX file into the records of
// a survey database, written from the scans' poses when there is none, run as a user runs it.
#include "tests/fuzz/import_feeds.h"
#include "tests/import/sample_files.h"
#include "tests/support/test_files.h"

#include "batch/constants.h"
#include "batch/inputs/survey_database.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>

namespace {

// 30 points and a no-return cell per scan, in the scanner's frame.
std::vector<Vec3> cliffPoints(int scan)
{
    std::vector<Vec3> p = {{0.0, 0.0, 0.0}};
    for (int i = 0; i < 30; ++i) {
        p.push_back({10.0 + i * 0.25, scan - i * 0.5, 0.125 * i});
    }
    return p;
}

// Angles in degrees as the batch program converts them, so that the database written
// from the pose states them exactly.
E57Sample setup(const char* name, double a1, double a2, double a3, const Vec3& scanner, int scan)
{
    E57Sample s;
    s.pose.name = name;
    rotationOf(a1 * DEG_TO_RAD, a2 * DEG_TO_RAD, a3 * DEG_TO_RAD, s.pose.rotation);
    for (int k = 0; k < 3; ++k) {
        s.pose.translation[k] = scanner[k];
    }
    s.layout.invalidState = true;
    s.points = scanPoints(cliffPoints(scan));
    return s;
}

const char* const WRITTEN = "X,Y,Z,A1,A2,A3,ID1,ID2,NAME\n"
                            "475123.4567,3640987.6543,10.0000,0.500000,-0.250000,30.000000,1,1,North_face\n"
                            "475130.0000,3640990.0000,11.7100,0.000000,0.000000,200.000000,2,1,North_face_2\n"
                            "475140.0000,3641000.0000,12.0000,-0.125000,0.375000,270.000000,3,1,a_b_c\n"
                            "475150.0000,3641010.0000,5.0000,0.000000,0.000000,0.000000,4,1,Scan4\n";

std::vector<std::string> pointFiles(const TempDir& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 5 && name.substr(name.size() - 5) == ".bxyz") {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(SurveyImport, E57SurveyWritesTheDatabaseFromItsPoses)
{
    if (!haveImporter())
        GTEST_SKIP() << "built without the program's path";
    TempDir dir;
    writeFile(dir.file("survey.e57"),
              e57File({setup("North face", 0.5, -0.25, 30.0, {475123.4567, 3640987.6543, 10.29}, 1),
                       setup("North face", 0.0, 0.0, 200.0, {475130.0, 3640990.0, 12.0}, 2),
                       setup("a/b,\"c\"", -0.125, 0.375, -90.0, {475140.0, 3641000.0, 12.29}, 3),
                       setup("", 0.0, 0.0, 0.0, {475150.0, 3641010.0, 5.29}, 4)}));
    const ProgramRun run = runImporter(dir, "survey.e57 --database cliff.csv --all-scans --write-database");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readFile(dir.file("cliff.csv")), WRITTEN);
    EXPECT_NE(run.out.find("SCANTRANSFORM 0, TRANSX 475000.0, TRANSY 3641000.0"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Points written:  120 in 4 files, 4 dropped\n"), std::string::npos) << run.out;
    // The batch program reads every record, and each names a point file that is there.
    const std::optional<SurveyDatabase> db = readSurveyDatabase(dir.file("cliff.csv"));
    ASSERT_TRUE(db);
    EXPECT_EQ(db->problemLine, 0);
    ASSERT_EQ(db->records.size(), 4u);
    const std::vector<std::string> written = {"cliff_001_001_North_face.bxyz", "cliff_002_001_North_face_2.bxyz",
                                              "cliff_003_001_a_b_c.bxyz", "cliff_004_001_Scan4.bxyz"};
    EXPECT_EQ(pointFiles(dir), written);
    const std::vector<Vec3> first = bxyzPoints(readFile(dir.file(written[0])));
    const std::vector<Vec3> expected = cliffPoints(1);
    ASSERT_EQ(first.size(), 30u);
    for (std::size_t i = 0; i < first.size(); ++i) {
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(first[i][k], expected[i + 1][k], 0.5e-4 + 1e-9);
        }
    }
    EXPECT_NE(readFile(dir.file("cliff_003_001_a_b_c.pose.txt"))
                  .find("\nDATABASE_RECORD 475140.0000,3641000.0000,12.0000,-0.125000,0.375000,270.000000\n"),
              std::string::npos);

    // Never over an existing database; into its records, scan K to record K or by NAME.
    const ProgramRun again = runImporter(dir, "survey.e57 --database cliff.csv --all-scans --write-database");
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find("already exists; --write-database never replaces one"), std::string::npos);
    EXPECT_EQ(readFile(dir.file("cliff.csv")), WRITTEN);
    writeFile(dir.file("named.csv"),
              "X,Y,Z,A1,A2,A3,ID1,ID2,NAME\n1,2,3,0,0,0,7,1,a_b_c\n1,2,3,0,0,0,9,2,North_face_2\n");
    const ProgramRun named = runImporter(dir, "survey.e57 --database named.csv --all-scans --match-names");
    ASSERT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(readFile(dir.file("named_007_001_a_b_c.bxyz")), readFile(dir.file(written[2])));
    EXPECT_EQ(readFile(dir.file("named_009_002_North_face_2.bxyz")), readFile(dir.file(written[1])));
    EXPECT_NE(named.out.find("scan 4 of the file is named by no record"), std::string::npos) << named.out;
}

TEST(SurveyImport, RefusalsLeaveNothingBehind)
{
    if (!haveImporter())
        GTEST_SKIP() << "built without the program's path";
    const std::string survey = e57File({setup("A", 0, 0, 0, {1, 2, 3}, 1), setup("B", 0, 0, 90, {5, 2, 3}, 2)});
    std::string noCoordinates = survey;
    noCoordinates.replace(noCoordinates.rfind("cartesianZ"), 10, "cartesianQ");
    mendE57Checksums(reinterpret_cast<unsigned char*>(noCoordinates.data()), noCoordinates.size());
    // The first scan converts; nothing of it may be left when the second fails.
    std::string lastCutShort = survey;
    lastCutShort.replace(lastCutShort.rfind("recordCount=\"31\""), 16, "recordCount=\"39\"");
    mendE57Checksums(reinterpret_cast<unsigned char*>(lastCutShort.data()), lastCutShort.size());
    LasSample las;
    las.points = {{1, 2, 3}};
    struct Row {
        const char* name;
        std::string input;
        const char* arguments;
        const char* database;  ///< written first, "" none
        const char* says;
    };
    const Row rows[] = {
        {"more records than scans", survey, "--database s.csv --all-scans",
         "X\n1,2,3,0,0,0,1,1,A\n1,2,3,0,0,0,2,1,B\n3,2,3,0,0,0,3,1,C\n", "holds 3 record(s) and the file 2 scan(s)"},
        {"a NAME no scan has", survey, "--database s.csv --all-scans --match-names",
         "X\n1,2,3,0,0,0,1,1,A\n1,2,3,0,0,0,2,1,Z\n", "no scan of the file is named Z (record 2"},
        {"a database with no records", survey, "--database s.csv --all-scans --match-names",
         "X,Y,Z,A1,A2,A3,ID1,ID2,NAME\n", "holds no records"},
        {"two records of one point file", survey, "--database s.csv --all-scans",
         "X\n1,2,3,0,0,0,1,1,A\n1,2,3,0,0,0,1,1,A\n", "two records of the database name the same point file"},
        {"two records of one scan", survey, "--database s.csv --all-scans --match-names",
         "X\n1,2,3,0,0,0,1,1,B\n1,2,3,0,0,0,2,1,B\n", "records 1 and 2 of the database both name scan 2"},
        {"the last scan's points end early", lastCutShort, "--database s.csv --all-scans --write-database", "",
         "scan 2 (B): the points end after 31 of their 39 records"},
        {"no database to convert into", survey, "--database s.csv --all-scans", "", "does not exist; --write-database"},
        {"a database name the batch program refuses", survey, "--database s.dat --all-scans --write-database", "",
         "must end in .csv or .txt"},
        {"a scan with no coordinates", noCoordinates, "--database s.csv --all-scans --write-database", "",
         "scan 2 (B) cannot be placed in the database: its points have no coordinates"},
        {"a file with one scan", lasFile(las), "--database s.csv --all-scans --write-database", "",
         "is a LAS file, which holds one scan"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        writeFile(dir.file("input"), row.input);
        if (row.database[0] != '\0') {
            writeFile(dir.file("s.csv"), row.database);
        }
        const ProgramRun run = runImporter(dir, std::string("input ") + row.arguments);
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find(row.says), std::string::npos) << run.err;
        EXPECT_TRUE(pointFiles(dir).empty());
        EXPECT_EQ(fileExists(dir.file("s.csv")), row.database[0] != '\0');
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), row.database[0] != '\0' ? 4 : 3);
    }
}

// Each PTX scan's transform places its scanner; the points stay in the scanner's frame, or
// with --apply-pose move into the file's frame.
TEST(SurveyImport, PtxScansWriteTheDatabaseFromTheirTransforms)
{
    if (!haveImporter())
        GTEST_SKIP() << "built without the program's path";
    const std::array<std::array<double, 4>, 4> turn = {{{0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 1, 0}, {100, 200, 0, 1}}};
    TempDir dir;
    writeFile(dir.file("two.ptx"),
              ptxScan(1, 2, {10, 20, 30.29}, ptxTranslation(10, 20, 30.29), {"1 2 3 0.5", "0 0 0 0"})
                  + ptxScan(2, 1, {100, 200, 0}, turn, {"4 5 6 0.5", "7 8 9 0.5"}));
    const ProgramRun run = runImporter(dir, "two.ptx --database site.txt --all-scans --write-database --zeropad 0");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readFile(dir.file("site.txt")),
              "X,Y,Z,A1,A2,A3,ID1,ID2,NAME\n"
              "10.0000,20.0000,30.0000,0.000000,0.000000,0.000000,1,1,Scan1\n"
              "100.0000,200.0000,-0.2900,0.000000,0.000000,90.000000,2,1,Scan2\n");
    EXPECT_EQ(bxyzPoints(readFile(dir.file("site_1_1_Scan1.bxyz"))), (std::vector<Vec3>{{1, 2, 3}}));
    EXPECT_EQ(bxyzPoints(readFile(dir.file("site_2_1_Scan2.bxyz"))), (std::vector<Vec3>{{4, 5, 6}, {7, 8, 9}}));
    EXPECT_NE(readFile(dir.file("site_2_1_Scan2.pose.txt")).find("\nSCAN 2\n"), std::string::npos);

    // Into the records of the database now there, scan K to record K, moved into the file's frame.
    const ProgramRun placed = runImporter(dir, "two.ptx --database site.txt --all-scans --apply-pose --zeropad 0");
    ASSERT_EQ(placed.status, 0) << placed.err;
    EXPECT_NE(placed.out.find("Run it with:     SCANTRANSFORM 1, TRANSX 0, TRANSY 0"), std::string::npos) << placed.out;
    EXPECT_EQ(bxyzPoints(readFile(dir.file("site_1_1_Scan1.bxyz"))), (std::vector<Vec3>{{11, 22, 33.29}}));
    EXPECT_EQ(bxyzPoints(readFile(dir.file("site_2_1_Scan2.bxyz"))), (std::vector<Vec3>{{95, 204, 6}, {92, 207, 9}}));
    EXPECT_NE(readFile(dir.file("site_2_1_Scan2.pose.txt")).find("\nPOSE_APPLIED 1\n"), std::string::npos);
}

}  // namespace
