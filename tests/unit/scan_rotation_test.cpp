#include "batch/runs/rotation_table.h"
#include "batch/runs/run_state.h"
#include "batch/runs/scan_rotation.h"

#include "batch/inputs/configuration.h"
#include "batch/inputs/survey_database.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace {

TEST(RotationTable, TwoEntriesPerRowAndTheMeanPerScan)
{
    TempDir dir;
    const std::string reg = dir.file("reg.csv");
    writeFile(reg,
              "scan1,rotation2,scan2,rotation2,rms,numpts,num_iters \r\n"
              "7,0.200000,8,0.400000,0.010000,100,3\r\n"
              "9,0.000000,7,0.000000,0.020000,50,0\r\n"
              "\r\n"
              "8,-0.100000,7,-0.100000,0.010000,100,3");
    testing::internal::CaptureStdout();
    const int32_t count = countRotationEntries(reg);
    const std::vector<RotationEntry> entries = loadRotationTable(reg, count);
    int32_t values = -1;
    double spread = -1.0;
    // The row with both rotations at 0 found nothing: it counts for neither scan.
    const double mean7 = meanRotation(entries, 7, values, spread);
    EXPECT_EQ(values, 2);
    EXPECT_NEAR(spread, 0.3, 1e-12);
    const double mean8 = meanRotation(entries, 8, values, spread);
    EXPECT_EQ(values, 2);
    const double none = meanRotation(entries, 5, values, spread);
    int32_t nineValues = -1;
    const double nine = meanRotation(entries, 9, nineValues, spread);  // only in the row that found nothing
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(nine, 0.0);
    EXPECT_EQ(nineValues, 0);
    EXPECT_EQ(count, 6);
    ASSERT_EQ(entries.size(), 6u);
    EXPECT_NEAR(mean7, (0.2 - 0.1) / 2, 1e-12);
    EXPECT_NEAR(mean8, 0.15, 1e-12);
    EXPECT_EQ(none, 0.0);
    EXPECT_EQ(values, 0);
    EXPECT_EQ(spread, 0.0);
    EXPECT_EQ(out, "Loading data from file " + reg + " \n");
}

TEST(RotationTable, MissingOrUnreadableTables)
{
    testing::internal::CaptureStdout();
    EXPECT_EQ(countRotationEntries("/nonexistent/reg.csv"), 0);
    EXPECT_TRUE(loadRotationTable("/nonexistent/reg.csv", 0).empty());
    TempDir dir;
    writeFile(dir.file("reg.csv"), "header\ngarbage row\n3,nan,4,0.5,0.01,100,0\n");
    const std::vector<RotationEntry> entries = loadRotationTable(dir.file("reg.csv"), 4);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.find("Unable to open data file at /nonexistent/reg.csv \nNO POINTS in file!!!!!  \n"), 0u);
    ASSERT_EQ(entries.size(), 4u);  // a row that cannot be read counts as scan 0, rotation 0
    EXPECT_EQ(entries[0].scanId, 0);
    EXPECT_EQ(entries[1].rotation, 0.0);
    // A rotation that is not a number ends the row's reading there.
    EXPECT_EQ(entries[2].scanId, 3);
    EXPECT_EQ(entries[2].rotation, 0.0);
    EXPECT_EQ(entries[3].scanId, 0);
}

TEST(ScanRotation, SevenColumnTextScansKeepTheirColumns)
{
    TempDir dir;
    RegSettings s;
    s.TRANSX = 100.0;
    s.TRANSY = 200.0;
    s.regFileName = dir.file("reg.csv");
    s.rotFileName = dir.file("rot.csv");
    s.ADJUST = 0;  // the one row names a scan outside the table: only the mean of rows uses it
    writeFile(s.regFileName, "h\n4,90.000000,5,0.0,0.01,100,0\n");
    ScanRecord scan;
    scan.scanId = 4;
    scan.x = 1.0;  // scanner at (101, 200) before the reduction
    scan.fileName = dir.file("scan.txt");
    writeFile(scan.fileName, "# header one\nX,Y,Z\n103 200 5 1 2 3 4.9\n101,201,6\nshort 1\n102 200 7 -1\n");
    testing::internal::CaptureStdout();
    RunState run;
    EXPECT_EQ(rotateScans(s, run, {scan}, false), RunStatus::Ok);
    const std::string out = testing::internal::GetCapturedStdout();
    // A quarter turn counter-clockwise about the scanner: (+2, 0) goes to (0, +2).
    EXPECT_EQ(readFile(dir.file("scan_rot.txt")),
              "# header one \nX,Y,Z \n"
              "1.000000 2.000000 5.000000 1 2 3 4 \n"
              "0.000000 0.000000 6.000000 0 0 0 0 \n"
              "1.000000 1.000000 7.000000 -1 0 0 0 \n");
    EXPECT_EQ(readFile(s.rotFileName),
              "ID,rotation(degrees),numRotVals,RotSpread(Degrees),Numpoints,NumpointsED \n"
              "4,90.000000,1,0.000000,4,3 \n");
    EXPECT_NE(out.find("Rotating 4 Points in 4 by 90.000000 degrees \n"), std::string::npos);
}

// A point line as the rotation read it with the C library: commas and semicolons made
// blanks, then strtod and strtoll; "" when the line holds no point. Written unturned,
// with TRANSX and TRANSY 0, as printf writes it.
std::string printedLikeTheLibrary(std::string line)
{
    for (char& ch : line)
        if (ch == ',' || ch == ';')
            ch = ' ';
    const char* s = line.c_str();
    char* end = nullptr;
    double xyz[3];
    for (double& v : xyz) {
        v = std::strtod(s, &end);
        if (end == s)
            return "";
        s = end;
    }
    int whole[4] = {0, 0, 0, 0};
    for (int k = 0; k < 3; ++k) {
        const long long n = std::strtoll(s, &end, 10);
        if (end == s)
            break;
        whole[k] = n > INT32_MAX ? INT32_MAX : n < INT32_MIN ? INT32_MIN : static_cast<int>(n);
        s = end;
        if (k == 2) {
            const double real = std::strtod(s, &end);
            if (end != s && real > -2147483648.0 && real < 2147483648.0)
                whole[3] = static_cast<int>(real);
        }
    }
    char text[1200];
    std::snprintf(text, sizeof text, "%lf %lf %lf %i %i %i %i \n", xyz[0], xyz[1], xyz[2], whole[0], whole[1], whole[2],
                  whole[3]);
    return text;
}

TEST(ScanRotation, TextColumnsAreReadAndWrittenAsTheCLibraryDoes)
{
    const std::vector<std::string> lines = {"# header",
                                            "+1.5;2;3 +4 -5 6 7.9",
                                            "0x1p3,4,5,0x10,1e3,9,-2.5",
                                            " 1e2 2E1 -3e-1",
                                            "inf 1 1 1 1 1",
                                            "nan,0,0",
                                            "-0.0000004 0.0000005 1e-7 99999999999 -99999999999 0 1e12",
                                            "1 2",
                                            "1,2,3,4,x,5",
                                            "475123.1234565 3640000.5 12.25 1 2 3 4.5",
                                            "5.,.5,-.5",
                                            "1.0e400 2 -1e400 3 4 5 -6.7"};
    std::string scanText, expected = "# header \n";
    for (const std::string& line : lines)
        scanText += line + "\n";
    for (std::size_t i = 1; i < lines.size(); ++i)
        expected += printedLikeTheLibrary(lines[i]);

    TempDir dir;
    RegSettings s;
    s.TRANSX = s.TRANSY = 0.0;
    s.APPLYFILTER = 0;
    s.regFileName = dir.file("none.csv");
    s.rotFileName = dir.file("rot.csv");
    ScanRecord scan;
    scan.fileName = dir.file("scan.txt");
    writeFile(scan.fileName, scanText);
    testing::internal::CaptureStdout();
    RunState run;
    rotateScans(s, run, {scan}, false);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(readFile(dir.file("scan_rot.txt")), expected);
}

}  // namespace
