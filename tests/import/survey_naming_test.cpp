#include "tests/support/test_files.h"

#include "import/survey_naming.h"

#include <gtest/gtest.h>

namespace {

const char* const DATABASE = "X,Y,Z,A1,A2,A3,ID1,ID2,NAME\n"
                             "100,200,3,0,0,10,7,1,Beach\n"
                             "110,200,3,0,0,10,42,12,Cliff\n"
                             "120,200,3,0,0,10,100,250,Top\n"
                             "130,200,3,0,0,10,-3,5,Neg\n"
                             "140,200,3,0,0,10,42,9,Again\n";

TEST(SurveyNaming, GivesTheNameTheBatchProgramExpects)
{
    struct Row {
        const char* name;
        const char* settings;  ///< ipcreg.txt beside the database, nullptr none
        ScanSelection selection;
        const char* file;  ///< after "<folder>/survey"
        int32_t zeroPad;
    };
    const Row rows[] = {
        {"record 1, no settings file", nullptr, {1, 0, -1}, "_007_001_Beach.bxyz", 1},
        {"record 2, ZEROPAD 1", "ZEROPAD 1\n", {2, 0, -1}, "_042_012_Cliff.bxyz", 1},
        {"ids from 100 on are not padded", "ZEROPAD 1\n", {3, 0, -1}, "_100_250_Top.bxyz", 1},
        {"negative ids get two zeros", nullptr, {4, 0, -1}, "_00-3_005_Neg.bxyz", 1},
        {"ZEROPAD 0 in the settings", "# survey settings\nZEROPAD 0\nDATADIR 1\n", {2, 0, -1}, "_42_12_Cliff.bxyz", 0},
        {"option over the settings", "ZEROPAD 0\n", {2, 0, 1}, "_042_012_Cliff.bxyz", 1},
        {"option without settings", nullptr, {1, 0, 0}, "_7_1_Beach.bxyz", 0},
        {"by ID1", nullptr, {0, 100, -1}, "_100_250_Top.bxyz", 1},
        {"by a negative ID1", nullptr, {0, -3, -1}, "_00-3_005_Neg.bxyz", 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        writeFile(dir.file("survey.csv"), DATABASE);
        if (row.settings != nullptr) {
            writeFile(dir.file("ipcreg.txt"), row.settings);
        }
        ScanName scan;
        std::string error;
        ASSERT_TRUE(nameScanFromDatabase(dir.file("survey.csv"), row.selection, scan, error)) << error;
        EXPECT_EQ(scan.path, dir.file("survey") + row.file);
        EXPECT_EQ(scan.zeroPad, row.zeroPad);
    }
}

TEST(SurveyNaming, RefusesRecordsThatAreNotThere)
{
    struct Row {
        const char* name;
        const char* database;
        const char* file;
        ScanSelection selection;
        const char* says;
    };
    const Row rows[] = {
        {"record past the end", DATABASE, "survey.csv", {6, 0, -1}, "holds 5 usable record(s)"},
        {"ID1 twice", DATABASE, "survey.csv", {0, 42, -1}, "records 2 and 5"},
        {"ID1 absent", DATABASE, "survey.csv", {0, 8, -1}, "no record"},
        {"database not .csv or .txt", DATABASE, "survey.dat", {1, 0, -1}, ".csv or .txt"},
        {"a line that is no record",
         "X,Y\n1,2,3,0,0,0,1,1,A\n1,two,3,0,0,0,2,2,B\n",
         "s.txt",
         {1, 0, -1},
         "line 3 of the survey database"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        writeFile(dir.file(row.file), row.database);
        ScanName scan;
        std::string error;
        EXPECT_FALSE(nameScanFromDatabase(dir.file(row.file), row.selection, scan, error));
        EXPECT_NE(error.find(row.says), std::string::npos) << error;
    }
    ScanName scan;
    std::string error;
    EXPECT_FALSE(nameScanFromDatabase("/nonexistent/survey.csv", {1, 0, -1}, scan, error));
}

}  // namespace
