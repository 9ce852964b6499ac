#include "tests/e2e/e2e_fixture.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace {

const char* const MENU_END = "0 = quit and reformat your input file, \n";

std::string afterMenu(const std::string& out)
{
    const std::size_t at = out.find(MENU_END);
    return at == std::string::npos ? out : out.substr(at + std::strlen(MENU_END));
}

// A 20 m square of points on the plane z = height, jittered by a fixed pattern.
std::string planeText(double height)
{
    std::string text = "#X,Y,Z\n";
    char line[80];
    for (int i = 0; i < 200; ++i)
        for (int j = 0; j < 200; ++j) {
            std::snprintf(line, sizeof line, "%.4f,%.4f,%.4f\n", i * 0.1 + 0.01 * ((i * 7 + j * 3) % 5),
                          j * 0.1 + 0.01 * ((i * 3 + j * 11) % 5), height);
            text += line;
        }
    return text;
}

std::string binaryScan(const std::vector<std::array<double, 3>>& points)
{
    std::string bytes;
    for (const auto& p : points) {
        char record[32] = {};
        std::memcpy(record, p.data(), 24);
        bytes.append(record, 32);
    }
    return bytes;
}

using PairModes = BatchTest;

TEST_F(PairModes, ModeFiveMeasuresTwoParallelPlanes)
{
    write("a.txt", planeText(0.0));
    write("b.txt", planeText(0.01));
    const BatchRun r = run({"x.csv", "a.txt", "b.txt"}, "5\n\n");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(afterMenu(r.out),
              "\nPreparing data for registration.... \n"
              "Loading 40000 points from file a.txt \nFinished loading 40000 points\n"
              "Loading 40000 points from file b.txt \nFinished loading 40000 points\n"
              "Assigning Points to Cubes\n"
              "Assigned 40000 Points from scan 1 to 882 Cubes\n"
              "Assigned 40000 Points from scan 2 to 882 Cubes\n"
              "Sorting Data\n"
              "Initial rms = 0.010000 calculated from 4000 pts\n"
              "100 percent complete \nPress ENTER to close the program  \n");
    EXPECT_EQ(read("testlog.txt"), "");

    // Both directions' distances, each block behind its header; the point files hold
    // the second direction's pairs: scan 1's points and their feet on scan 2.
    const std::string distances = read("RMSdistances.txt");
    const std::string header = "#Distances for point pairs for Scanset\n";
    std::string block;
    for (int i = 0; i < 4000; ++i)
        block += "0.010000\n";
    EXPECT_EQ(distances, header + block + header + block);
    const std::string scan1 = read("PointsScan1.txt"), scan2 = read("PointsScan2.txt");
    EXPECT_EQ(scan1.substr(0, 7), "#X,Y,Z\n");
    EXPECT_EQ(std::count(scan1.begin(), scan1.end(), '\n'), 4001);
    EXPECT_EQ(replaced(scan1, ",0.000000\n", ",0.010000\n"), scan2);

    // A second run appends to the distances and replaces the point files.
    run({"x.csv", "a.txt", "b.txt"}, "5\n\n");
    EXPECT_EQ(read("RMSdistances.txt"), distances + distances);
    EXPECT_EQ(read("PointsScan1.txt"), scan1);
}

TEST_F(PairModes, OutputsNeverReplaceInputs)
{
    // Comparing the diagnostic files of an earlier run would overwrite them.
    for (const char* input : {"PointsScan1.txt", "./PointsScan2.txt", "testlog.txt"}) {
        SCOPED_TRACE(input);
        write(input, planeText(0.0));
        write("b.txt", planeText(0.01));
        const BatchRun r = run({"x.csv", input, "b.txt"}, "5\n\n");
        EXPECT_EQ(r.exitStatus, 1);
        EXPECT_NE(afterMenu(r.out).find(std::string(" would replace the input file ") + input
                                        + ": nothing is written. \nPlease rename or move the survey database or "
                                          "the point files. \n"),
                  std::string::npos);
        EXPECT_EQ(read(input), planeText(0.0));
    }
}

TEST_F(PairModes, ModeFiveWithAMissingFile)
{
    write("a.txt", planeText(0.0));
    const BatchRun r = run({"x.csv", "a.txt", "missing.bxyz"}, "5\n\n");
    EXPECT_EQ(r.exitStatus, 2);  // finished, without a valid RMS
    EXPECT_EQ(afterMenu(r.out),
              "\nPreparing data for registration.... \n"
              "Loading 40000 points from file a.txt \nFinished loading 40000 points\n"
              "UNABLE TO OPEN FILE missing.bxyz \nNO POINTS in file!!!!!  \nFinished loading 0 points\n"
              "100 percent complete \nPress ENTER to close the program  \n");
    EXPECT_EQ(r.err, "Could not open input file missing.bxyz.  Skipping to next! \n\n0 points successfully loaded! \n");
    EXPECT_FALSE(exists("RMSdistances.txt"));
}

TEST_F(PairModes, CubeSizeThatIsNotPositiveIsRefused)
{
    write("ipcreg.txt", "dCZ -1\n");
    const BatchRun r = run({"x.csv", "a.txt", "b.txt"}, "5\n\n");
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(afterMenu(r.out),
              "\nSearch cube size dCZ = -1.000000 cannot be used: change dCZ in the "
              "configuration file to a size greater than 0. \n");
}

TEST_F(PairModes, MatricesOfEveryScan)
{
    write("survey.csv",
          "X,Y,Z,A1,A2,A3,ID1,ID2,NAME\n"
          "475010.5,3640000,5.21,0,0,90,1,2,S1\n"
          "475000,3640000,0,0,0,0,3,4,S2\n");
    write("ipcreg.txt", "TRANSX 475000\nTRANSY 3640000\n");
    const BatchRun r = run({"survey.csv"}, "8\n\n\n");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_NE(r.out.find(" \nWriting Transform Matricies for 2 scans....\n100 percent complete \n"), std::string::npos);
    EXPECT_EQ(read("survey_001_002_S1s.dat"),
              "0.0000000018 -1.0000000000 0.0000000000 10.5000000000 \n"
              "1.0000000000 0.0000000018 0.0000000000 0.0000000000 \n"
              "-0.0000000000 0.0000000000 1.0000000000 5.5000000000 \n"
              "0.0000000000 0.0000000000 0.0000000000 1.0000000000 \n");
    EXPECT_EQ(read("survey_003_004_S2s.dat"),
              "1.0000000000 0.0000000000 0.0000000000 0.0000000000 \n"
              "0.0000000000 1.0000000000 0.0000000000 0.0000000000 \n"
              "-0.0000000000 0.0000000000 1.0000000000 0.2900000000 \n"
              "0.0000000000 0.0000000000 0.0000000000 1.0000000000 \n");
}

TEST_F(PairModes, ExportOfBinaryScansIntoTheSurveyFrame)
{
    write("survey.csv",
          "X,Y,Z,A1,A2,A3,ID1,ID2,NAME\n"
          "475010,3640020,5.71,0,0,90,1,1,S1\n"
          "475000,3640000,0,0,0,0,2,1,S2\n"
          "475000,3640000,0,0,0,0,3,1,S3\n");
    write("ipcreg.txt", "TRANSX 475000\nTRANSY 3640000\n");
    write("survey_001_001_S1.bxyz", binaryScan({{1, 0, 0}, {0, 2, -1}}));
    write("survey_003_001_S3.bxyz", binaryScan({{1.5, 2.25, 3}}));                // S2 has no file
    write("survey_002_001_S2._adj.txt", "#X,Y,Z\n1.000000 2.000000 3.000000\n");  // from an earlier run
    const BatchRun r = run({"survey.csv"}, "9\n\n\n");
    EXPECT_EQ(r.exitStatus, 2);  // finished, with a scan that could not be read
    EXPECT_EQ(read("survey_001_001_S1._adj.txt"),
              "#X,Y,Z\n10.000000 21.000000 6.000000\n8.000000 20.000000 5.000000\n");
    EXPECT_EQ(read("survey_002_001_S2._adj.txt"), "#X,Y,Z\n1.000000 2.000000 3.000000\n");  // left as it was
    EXPECT_EQ(read("surveylog.txt"),
              "Unable to open files: survey_002_001_S2.bxyz .Please check your input file for an error here. \n");
    EXPECT_EQ(read("survey_003_001_S3._adj.txt"), "#X,Y,Z\n1.500000 2.250000 3.290000\n");
    EXPECT_NE(
        r.out.find(
            "Preparing data for export.... \nfile size: 64\nnumpts: 2\n\nRotation Matrix Calculated for scan: \n\n"),
        std::string::npos);
    EXPECT_EQ(r.err,
              "2 points successfully loaded! \n"
              "Could not open input file survey_002_001_S2.bxyz.  Skipping to next! \n\n"
              "0 points successfully loaded! \n"
              "1 points successfully loaded! \n");
}

TEST_F(PairModes, OutputFileThatCannotBeCreatedStopsTheRunBeforeItsWork)
{
    write("survey.csv", "X,Y,Z,A1,A2,A3,ID1,ID2,NAME\n475000,3640000,0,0,0,0,1,1,S1\n475000,3640000,0,0,0,0,2,1,S2\n");
    ASSERT_EQ(mkdir(path("survey_001_001_S1s.dat").c_str(), 0755), 0);
    const BatchRun r = run({"survey.csv"}, "8\n\n\n");
    EXPECT_EQ(r.exitStatus, 1);
    const std::string confirmed = " and press Enter to continue.  \n \n";
    const std::string tail = r.out.substr(r.out.find(confirmed) + confirmed.size());
    EXPECT_EQ(tail,
              "Unable to create output file survey_001_001_S1s.dat \n"
              "A folder stands in its place: move or rename it, then start the run again. \n");
    EXPECT_FALSE(exists("survey_002_001_S2s.dat"));
    EXPECT_FALSE(exists("survey_001_001_S1s.dat.part"));
    EXPECT_EQ(read("surveylog.txt"), "Unable to create output file survey_001_001_S1s.dat \n");
}

}  // namespace
