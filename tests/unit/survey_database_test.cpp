#include "batch/inputs/survey_database.h"

#include "batch/constants.h"
#include "batch/inputs/configuration.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

SurveyDatabase readText(const std::string& text)
{
    TempDir dir;
    writeFile(dir.file("survey.csv"), text);
    const std::optional<SurveyDatabase> db = readSurveyDatabase(dir.file("survey.csv"));
    EXPECT_TRUE(db.has_value());
    return db.value_or(SurveyDatabase{});
}

TEST(SurveyDatabase, RecordsReadWhateverTheLineEnds)
{
    const char* texts[] = {
        "X,Y,Z,A1,A2,A3,ID1,ID2,NAME\n1.5,2,3,0.1,0.2,30,7,42,S1\n4,5,6,0,0,45,8,42,S2\n",
        "X,Y,Z,A1,A2,A3,ID1,ID2,NAME\r\n1.5,2,3,0.1,0.2,30,7,42,S1\r\n4,5,6,0,0,45,8,42,S2\r\n",
        "X,Y,Z,A1,A2,A3,ID1,ID2,NAME\n\n 1.5 , 2,3,0.1,0.2,30, 007,42, S1 \n  \t\n4,5,6,0,0,45,8,42,S2",
    };
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        const SurveyDatabase db = readText(text);
        EXPECT_EQ(db.header, "X,Y,Z,A1,A2,A3,ID1,ID2,NAME");
        ASSERT_EQ(db.records.size(), 2u);
        EXPECT_EQ(db.records[0].X, 1.5);
        EXPECT_EQ(db.records[0].A3, 30.0);
        EXPECT_EQ(db.records[0].id1, 7);  // decimal, whatever the leading zeros
        EXPECT_EQ(db.records[0].id2, 42);
        EXPECT_EQ(db.records[0].name, "S1");
        EXPECT_EQ(db.records[1].name, "S2");
        EXPECT_EQ(db.problemLine, 0);
    }
    const std::string longName(200, 'N');
    EXPECT_EQ(readText("h\n1,2,3,4,5,6,7,8," + longName + "\n").records.at(0).name, longName);
    EXPECT_EQ(readText("X,Y,Z\n").records.size(), 0u);
    EXPECT_EQ(readText("").records.size(), 0u);
    const std::string longHeader(300, 'h');
    EXPECT_EQ(readText(longHeader + "\n1,2,3,4,5,6,7,8,S1\n").header, longHeader);
}

TEST(SurveyDatabase, ReadingStopsAtTheFirstLineThatIsNoRecord)
{
    using P = SurveyDatabase;
    const struct {
        const char* text;
        P::Problem problem;
        int32_t line;
        int32_t fields;     ///< for FieldCount
        const char* shown;  ///< for the others
    } cases[] = {
        {"h\n1,2,3,4,5,6,7,8,S1\n1,2,abc,4,5,6,7,8,S2\n1,2,3,4,5,6,7,8,S3\n", P::NotANumber, 3, 0, "abc"},
        {"h\n1,2,3,4,5,6,7,8,S1\n1,2,3\n", P::FieldCount, 3, 3, ""},
        {"h\n1,2,3,4,5,6,7,8,S1,\n", P::FieldCount, 2, 10, ""},
        {"h\n1,5,2,3,4,5,6,7,8,S1\n", P::FieldCount, 2, 10, ""},       // a decimal comma
        {"h\n11 22 33 44 55 66 77 88 S1\n", P::FieldCount, 2, 1, ""},  // blanks between fields
        {"h\n1;2;3;4;5;6;7;8;S1\n", P::FieldCount, 2, 1, ""},          // semicolons
        {"h\n1,2,3,4,5,6,010,0x1,S1\n", P::NotANumber, 2, 0, "0x1"},   // ids are decimal
        {"h\n1,2,3,4,5,inf,7,8,S1\n", P::NotANumber, 2, 0, "inf"},
        {"h\n1,2,3,4,5,6,7,8,\"S1\"\n", P::BadName, 2, 0, "\"S1\""},
        {"h\n1,2,3,4,5,6,7,8,Scan one\n", P::BadName, 2, 0, "Scan one"},
        {"h\n1,2,3,4,5,6,7,8,\n", P::BadName, 2, 0, ""},
        {"h\n1,2,3,4,5,6,7,8,S1\n\n,,,\x01,,,,,\n", P::NotANumber, 4, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const SurveyDatabase db = readText(c.text);
        EXPECT_EQ(db.problem, c.problem);
        EXPECT_EQ(db.problemLine, c.line);
        EXPECT_EQ(
            db.records.size(),
            static_cast<std::size_t>(std::string(c.text).find("S1\n") != std::string::npos && c.line > 2 ? 1 : 0));
        if (c.problem == P::FieldCount)
            EXPECT_EQ(db.fieldCount, c.fields);
        else
            EXPECT_EQ(db.problemText, c.shown);
    }
}

TEST(SurveyDatabase, MissingFile) { EXPECT_FALSE(readSurveyDatabase("/nonexistent/survey.csv").has_value()); }

TEST(ScanFileName, PaddingOnlyWithZeroPadOne)
{
    struct Case {
        int32_t zeroPad, id1, id2;
        const char* expected;
    } cases[] = {
        {1, 7, 42, "D:\\cliff\\survey_007_042_S1.bxyz"},   {0, 7, 42, "D:\\cliff\\survey_7_42_S1.bxyz"},
        {2, 7, 42, "D:\\cliff\\survey_7_42_S1.bxyz"},      {1, 123, 1234, "D:\\cliff\\survey_123_1234_S1.bxyz"},
        {1, -5, 99, "D:\\cliff\\survey_00-5_099_S1.bxyz"}, {1, 10, 100, "D:\\cliff\\survey_010_100_S1.bxyz"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(composeScanFileName("D:\\cliff\\survey", c.zeroPad, c.id1, c.id2, "S1"), c.expected);
    }
}

TEST(ScanRecord, TranslatedRaisedAndInRadians)
{
    RegSettings s;
    s.TRANSX = 475000.0;
    s.TRANSY = 3640000.0;
    s.scanDatabaseName = "survey";
    SurveyRecordText r;
    r.X = 475010.5;
    r.Y = 3640020.25;
    r.Z = 5.0;
    r.A3 = 90.0;
    r.id1 = 3;
    r.id2 = 4;
    r.name = "S3";
    const ScanRecord scan = makeScanRecord(r, s);
    EXPECT_EQ(scan.x, 10.5);
    EXPECT_EQ(scan.y, 20.25);
    EXPECT_EQ(scan.z, 5.29);
    EXPECT_EQ(scan.rotZ, 90.0 * DEG_TO_RAD);
    EXPECT_EQ(scan.fileName, "survey_003_004_S3.bxyz");
    EXPECT_EQ(scan.rotationPlus, NOT_FOUND_ROTATION);
    EXPECT_EQ(scan.rotationMinus, NOT_FOUND_ROTATION);
}

std::vector<ScanRecord> scansAt(std::initializer_list<std::pair<double, double>> positions)
{
    std::vector<ScanRecord> scans;
    int32_t id = 1;
    for (const auto& [x, y] : positions) {
        ScanRecord s;
        s.x = x;
        s.y = y;
        s.scanId = id++;
        scans.push_back(s);
    }
    return scans;
}

TEST(Neighbours, NearestOnEachSideAlongTheSurveyLine)
{
    RegSettings s;
    std::vector<ScanRecord> scans = scansAt({{0, 0}, {1, 20}, {0, -15}, {0, 40}});
    findNeighbours(scans, s);
    EXPECT_EQ(scans[0].nbrPlus, 1);
    EXPECT_EQ(scans[0].nbrMinus, 2);
    EXPECT_DOUBLE_EQ(scans[0].distPlus, std::sqrt(401.0));
    EXPECT_EQ(scans[3].nbrPlus, -1);
    EXPECT_EQ(scans[3].distPlus, 200.0);
    EXPECT_EQ(scans[3].nbrMinus, 1);
    EXPECT_EQ(scans[2].nbrMinus, -1);

    s.DATADIR = 1;  // east-west: the same scans pair by x
    findNeighbours(scans, s);
    EXPECT_EQ(scans[0].nbrPlus, 1);
    EXPECT_EQ(scans[0].nbrMinus, -1);
    EXPECT_EQ(scans[1].nbrMinus, 0);  // scans 0 and 3 are equally far: the first one wins
}

TEST(Neighbours, WindowEndsAndTies)
{
    RegSettings s;
    s.GPSMINDIST = 5.0;
    s.GPSMAXDIST = 30.0;
    // 3 m north is too close; exactly 5 m is taken; exactly 30 m south never is.
    std::vector<ScanRecord> scans = scansAt({{0, 0}, {0, 3}, {0, 5}, {0, -30}, {1, 0}});
    findNeighbours(scans, s);
    EXPECT_EQ(scans[0].nbrPlus, 2);
    EXPECT_EQ(scans[0].nbrMinus, -1);
    // Equal northing: never neighbours, however close.
    EXPECT_EQ(scans[4].nbrMinus, -1);
    EXPECT_EQ(scans[4].nbrPlus, 2);

    std::vector<ScanRecord> tie = scansAt({{0, 0}, {-3, 4}, {3, 4}});
    findNeighbours(tie, RegSettings{});
    EXPECT_EQ(tie[0].nbrPlus, 1);
}

}  // namespace
