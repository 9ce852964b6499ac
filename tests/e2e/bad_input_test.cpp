// The bad inputs the program answers with a clear message (docs/bad-input.md):
// nothing may crash, hang, write past its own outputs, or report success after a
// failed write.

#include "tests/e2e/e2e_fixture.h"
#include "tests/support/synthetic_scans.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <limits>

namespace {

const char* const MENU_END = "0 = quit and reformat your input file, \n";

std::string afterMenu(const std::string& out)
{
    const std::size_t at = out.find(MENU_END);
    return at == std::string::npos ? out : out.substr(at + std::strlen(MENU_END));
}

const char* const TWO_SCANS = "X,Y,Z,A1,A2,A3,ID1,ID2,NAME\n0,0,-0.29,0,0,0,1,1,S1\n0,6,-0.29,0,0,0,2,1,S2\n";

class BadInput : public BatchTest {
protected:
    // Two scans of a rough wall, in the survey frame.
    void writeTwoScans()
    {
        write("survey.csv", TWO_SCANS);
        writeBinaryScan(path("survey_001_001_S1.bxyz"), roughWall(-6.0, 12.0, 4.0, 0.08, 1));
        writeBinaryScan(path("survey_002_001_S2.bxyz"), roughWall(0.0, 12.0, 4.0, 0.08, 2));
        write("ipcreg.txt", "SCANTRANSFORM 1\nNUMPPC 5\nMINNUMPTS 50\nREGSOL 2\nGPSMAXDIST 7\n");
    }
};

TEST_F(BadInput, FilesThatCannotBeRead)
{
    writeTwoScans();
    std::remove(path("ipcreg.txt").c_str());
    ASSERT_EQ(mkdir(path("ipcreg.txt").c_str(), 0755), 0);  // a folder where the settings belong
    BatchRun r = run({"survey.csv"}, "8\n\n\n");
    EXPECT_EQ(r.out.find("Could not open master input file ipcreg.txt\nLooked for it at ipcreg.txt \n"
                         "USING DEFAULT VALUES!!!!\n"),
              0u);
    EXPECT_EQ(r.exitStatus, 0);

    ASSERT_EQ(mkdir(path("folder.csv").c_str(), 0755), 0);
    r = run({"folder.csv"}, "1\n\n");
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(
        r.out.find("Unable to open data file at folder.csv \nPlease verify the location of the file and try again. \n"),
        std::string::npos);

    // A point file that is a folder: the pair is logged and skipped, and the run ends
    // with status 2, finished with a pair that has no valid RMS.
    std::remove(path("survey_002_001_S2.bxyz").c_str());
    ASSERT_EQ(mkdir(path("survey_002_001_S2.bxyz").c_str(), 0755), 0);
    r = run({"survey.csv"}, "1\n\n\n");
    EXPECT_EQ(r.exitStatus, 2);
    EXPECT_NE(r.out.find("Registered 0 of 2 pairs: 2 failed, 0 not improved\n100 percent complete \n"),
              std::string::npos);
    // Only the file that gave no points is named; with both gone, both are.
    EXPECT_EQ(read("surveylog.txt"),
              "Unable to open file: survey_002_001_S2.bxyz \n"
              "Please check your GPS file for an error here. \n"
              "Unable to open file: survey_002_001_S2.bxyz \n"
              "Please check your GPS file for an error here. \n");
    std::remove(path("survey_001_001_S1.bxyz").c_str());
    r = run({"survey.csv"}, "1\n\n\n");
    EXPECT_EQ(r.exitStatus, 2);
    EXPECT_EQ(read("surveylog.txt"),
              "Unable to open files: survey_001_001_S1.bxyz \n and survey_002_001_S2.bxyz \n"
              "Please check your GPS file for an error here. \n"
              "Unable to open files: survey_002_001_S2.bxyz \n and survey_001_001_S1.bxyz \n"
              "Please check your GPS file for an error here. \n");
}

TEST_F(BadInput, EmptyFiles)
{
    write("survey.csv", "");
    write("ipcreg.txt", "");
    BatchRun r = run({"survey.csv"}, "1\n\n\n");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_NE(r.out.find("There are 0 scans to process\n"), std::string::npos);
    EXPECT_EQ(read("surveyreg.csv"), "scan1,rotation2,scan2,rotation2,rms,numpts,num_iters \n");

    writeTwoScans();
    write("survey_002_001_S2.bxyz", "");
    write("surveyreg.csv", "");
    r = run({"survey.csv"}, "2\n\n\n");  // an empty registration table: nothing to rotate by
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_NE(r.out.find("NO POINTS in file!!!!!  \n"), std::string::npos);
    EXPECT_NE(r.out.find("No rotation values found !=0 for 1 so "), std::string::npos);

    r = run({"x.csv", "survey_001_001_S1.bxyz", "survey_002_001_S2.bxyz"}, "5\n\n");
    EXPECT_EQ(r.exitStatus, 2);
    EXPECT_NE(r.err.find("0 points successfully loaded! \n"), std::string::npos);
    EXPECT_NE(afterMenu(r.out).find("NO POINTS in file!!!!!  \nFinished loading 0 points\n100 percent complete"),
              std::string::npos);
}

TEST_F(BadInput, SurveyDatabaseRecordsThatDoNotFit)
{
    writeTwoScans();
    struct Case {
        std::string database;
        std::string message;
    } cases[] = {
        {std::string(TWO_SCANS) + "0,12,-0.29,0,0,0,3,1\n",
         "survey.csv line 4: 8 fields where 9 belong (X,Y,Z,A1,A2,A3,ID1,ID2,NAME) \n"},
        {std::string(TWO_SCANS) + "0,12,-0.29,0,0,0,3,1,Scan three\n0,18,-0.29,0,0,0,4,1,S4\n",
         "survey.csv line 4: the name \"Scan three\" holds a blank or a quote \n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        write("survey.csv", c.database);
        const BatchRun r = run({"survey.csv"}, "1\n\n\n");
        EXPECT_EQ(r.exitStatus, 1);
        EXPECT_NE(r.out.find(c.message), std::string::npos);
        EXPECT_FALSE(exists("surveyreg.csv"));
    }
    // A long name is a name: the scan with it has no file, and its pair is logged.
    write("survey.csv", std::string(TWO_SCANS) + "0,12,-0.29,0,0,0,3,1," + std::string(200, 'N') + "\n");
    const BatchRun r = run({"survey.csv"}, "1\n\n\n");
    EXPECT_EQ(r.exitStatus, 2);
    EXPECT_NE(r.out.find("survey_003_001_" + std::string(200, 'N') + ".bxyz \n"), std::string::npos);
    EXPECT_NE(read("surveylog.txt").find(std::string(200, 'N') + ".bxyz \n"), std::string::npos);
}

TEST_F(BadInput, BinaryFileThatHoldsTextAndTextFileThatHoldsBinary)
{
    writeTwoScans();
    std::string text = "#X,Y,Z\n";
    for (const CubePoint& p : roughWall(0.0, 12.0, 4.0, 0.08, 2))
        text += std::to_string(p.x) + "," + std::to_string(p.y) + "," + std::to_string(p.z) + "\n";
    write("survey_002_001_S2.bxyz", text);
    BatchRun r = run({"survey.csv"}, "1\n\n\n");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_NE(r.out.find("The point file survey_002_001_S2.bxyz holds text, not binary points: it is read as a "
                         "text point file. \n"),
              std::string::npos);
    EXPECT_EQ(read("surveyreg.csv").size() > 60, true);  // the pair was registered

    write("binary.txt", read("survey_001_001_S1.bxyz"));
    r = run({"x.csv", "binary.txt", "binary.txt"}, "5\n\n");
    EXPECT_EQ(r.exitStatus, 2);
    EXPECT_EQ(r.out.find("Initial rms"), std::string::npos);
}

TEST_F(BadInput, ScannerFilesGivenAsBinaryPoints)
{
    // A scanner's own files renamed .bxyz: none may be read as points, binary or text.
    const std::string las = std::string("LASF") + std::string(223, '\0') + "\x01\x02\x03";
    const std::string ply = "ply\nformat binary_little_endian 1.0\nelement vertex 1\nproperty double x\n"
                            "property double y\nproperty double z\nend_header\n"
        + std::string(24, '\x40');
    const std::string ptx = "2\r\n1\r\n0 0 0\r\n1 0 0\r\n0 1 0\r\n0 0 1\r\n1 0 0 0\r\n0 1 0 0\r\n0 0 1 0\r\n"
                            "0 0 0 1\r\n10 0.5 1 0.5\r\n10 0.6 1 0.5\r\n";
    const std::string e57 = std::string("ASTM-E57\x01\0\0\0", 12) + std::string(1012, '\0');
    const struct {
        const char* format;
        const std::string& bytes;
    } files[] = {{"LAS", las}, {"PLY", ply}, {"PTX", ptx}, {"E57", e57}};
    for (const auto& f : files) {
        SCOPED_TRACE(f.format);
        writeTwoScans();
        write("survey_002_001_S2.bxyz", f.bytes);
        const std::string said = std::string("survey_002_001_S2.bxyz is a ") + f.format
            + " file, not Tavrin binary points: convert it "
              "with tavrin_import\n";
        BatchRun r = run({"survey.csv"}, "4\n\n\n");
        EXPECT_EQ(r.exitStatus, 2);
        EXPECT_NE(r.out.find(said), std::string::npos) << r.out;
        EXPECT_NE(read("surveylog.txt").find(said), std::string::npos);  // from the rotation
        EXPECT_EQ(r.out.find("Finished loading"), std::string::npos);    // never read as text
        EXPECT_NE(r.out.find("Registered 0 of 2 pairs: 2 failed, 0 not improved\n"), std::string::npos);
        EXPECT_FALSE(exists("survey_002_001_S2._rot.txt"));

        r = run({"survey.csv"}, "9\n\n\n");
        EXPECT_EQ(r.exitStatus, 2);
        EXPECT_NE(read("surveylog.txt").find(said), std::string::npos);
        EXPECT_TRUE(exists("survey_001_001_S1._adj.txt"));
        EXPECT_FALSE(exists("survey_002_001_S2._adj.txt"));
    }
}

TEST_F(BadInput, CoordinatesThatAreNotFinite)
{
    writeTwoScans();
    std::vector<CubePoint> points = roughWall(0.0, 12.0, 4.0, 0.08, 2);
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    points[0].x = nan;
    points[1].y = inf;
    points[2].z = -inf;
    writeBinaryScan(path("survey_002_001_S2.bxyz"), points);
    const BatchRun r = run({"survey.csv"}, "4\n\n\n");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(read("surveylog.txt").find("Unable"), std::string::npos);
    EXPECT_NE(read("surveyrms.csv").find("\n2,1,"), std::string::npos);
}

TEST_F(BadInput, SettingsThatLeaveNothingToDo)
{
    writeTwoScans();
    const std::string base = read("ipcreg.txt");
    struct Case {
        const char* line;
        const char* message;
    } cases[] = {
        {"dCX -1\n",
         "Search cube size dCX = -1.000000 cannot be used: change dCX in the configuration file to a size greater than "
         "0. \n"},
        {"NUMPPC 0\n", "NUMPPC = 0 cannot be used: change NUMPPC in the configuration file to 1 or more. \n"},
        {"MINNUMPTS 0\n", "MINNUMPTS = 0 cannot be used: change MINNUMPTS in the configuration file to 1 or more. \n"},
        {"MAXITER 0\n", "MAXITER = 0 cannot be used: change MAXITER in the configuration file to 1 or more. \n"},
        {"MAXREPEAT -1\n",
         "MAXREPEAT = -1 cannot be used: change MAXREPEAT in the configuration file to 1 or more. \n"},
        {"REGSOL 1\nALPHAINC 0\n",
         "ALPHAINC = 0 cannot be used: change ALPHAINC in the configuration file to 1 or more. \n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        write("ipcreg.txt", base + c.line);
        const BatchRun r = run({"survey.csv"}, "1\n\n");
        EXPECT_EQ(r.exitStatus, 1);
        EXPECT_EQ(afterMenu(r.out), std::string("\n") + c.message);
        EXPECT_FALSE(exists("surveyreg.csv"));
    }
    // Modes that pair no points do not need these settings.
    write("ipcreg.txt", base + "NUMPPC 0\n");
    EXPECT_EQ(run({"survey.csv"}, "8\n\n\n").exitStatus, 0);
}

TEST_F(BadInput, FolderThatCannotBeWritten)
{
    if (getuid() != 0)
        GTEST_SKIP() << "needs root to run the program as another user";
    writeTwoScans();
    // Run as nobody, who may not reach the build folder (a checkout in a private
    // folder): a copy of the program beside the survey.
    BatchBuild copy = build_;
    copy.exe = path("tavrinbatch_copy");
    write("tavrinbatch_copy", readFile(build_.exe));
    ASSERT_EQ(chmod(copy.exe.c_str(), 0755), 0);
    ASSERT_EQ(chmod(dir_.path().c_str(), 0555), 0);
    const BatchRun r = runBatch(copy, dir_.path(), {"survey.csv"}, "1\n\n\n", "tavrinbatch", {-1, true});
    chmod(dir_.path().c_str(), 0755);
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(afterMenu(r.out).find("Unable to create log file surveylog.txt \n"), std::string::npos);
    EXPECT_FALSE(exists("surveyreg.csv"));
}

TEST_F(BadInput, OutputThatCannotBeWrittenIsFoundBeforeTheWork)
{
    // A folder where an output belongs: once found only when the run wrote it, after
    // all the work, and then "100 percent complete" before status 1.
    const struct {
        const char* mode;
        const char* output;
    } cases[] = {{"4", "surveyrms.csv"},
                 {"1", "surveyplan.svg"},
                 {"2", "survey_002_001_S2._rot.txt"},
                 {"9", "survey_001_001_S1._adj.txt"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output);
        dir_.empty();
        writeTwoScans();
        ASSERT_EQ(mkdir(path(c.output).c_str(), 0755), 0);
        const BatchRun r = run({"survey.csv"}, std::string(c.mode) + "\n\n\n");
        EXPECT_EQ(r.exitStatus, 1);
        const std::string expected = std::string("Unable to create output file ") + c.output
            + " \nA folder stands in its place: move or rename it, then start the run again. \n";
        const std::string out = afterMenu(r.out);
        ASSERT_GE(out.size(), expected.size());
        EXPECT_EQ(out.substr(out.size() - expected.size()), expected);
        EXPECT_EQ(read("surveylog.txt"), std::string("Unable to create output file ") + c.output + " \n");
        EXPECT_FALSE(exists("surveyreg.csv"));
        EXPECT_FALSE(exists("survey_001_001_S1._rot.txt"));
        EXPECT_FALSE(exists(std::string(c.output) + ".part"));
    }
}

TEST_F(BadInput, DiskThatFillsUp)
{
    writeTwoScans();
    write("ipcreg.txt", read("ipcreg.txt") + "SCANTRANSFORM 0\n");
    // Each file may grow to 100 kB: the exports of 7500 points need more.
    BatchRun r = runBatch(build_, dir_.path(), {"survey.csv"}, "9\n\n\n", "tavrinbatch", {100000, false});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.out.find("Unable to write output file survey_001_001_S1._adj.txt \n"), std::string::npos);
    EXPECT_NE(read("surveylog.txt").find("Unable to write output file survey_002_001_S2._adj.txt \n"),
              std::string::npos);
    // A run that could not write all its outputs is not complete, and does not say so.
    EXPECT_EQ(r.out.find("100 percent complete"), std::string::npos);
    EXPECT_NE(r.out.find("The run ended, but not every output could be written: see the messages above. \n"
                         "Press ENTER to close the program  \n"),
              std::string::npos);

    // The rotated copies of Run ALL likewise; the run goes on and ends with status 1.
    write("ipcreg.txt", read("ipcreg.txt") + "SCANTRANSFORM 1\n");
    r = runBatch(build_, dir_.path(), {"survey.csv"}, "4\n\n\n", "tavrinbatch", {100000, false});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.out.find("Unable to write output file survey_001_001_S1._rot.txt \n"), std::string::npos);
}

}  // namespace
