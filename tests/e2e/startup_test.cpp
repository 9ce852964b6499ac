#include "tests/e2e/e2e_fixture.h"

#include <sys/stat.h>

#include <cstdio>

namespace {

const char* const DATABASE =
    "X,Y,Z,A1,A2,A3,ID1,ID2,NAME\n"
    "475010.5,3640000,5.2,0.1,0.2,30,1,42,S1\n"
    "475012,3640020,5.1,0,0,45,2,42,S2\n"
    "475011,3640045,5,0,0,90,3,42,S3\n"
    "475011,3640045,5,0,0,90,4,42,S4\n";

const char* const MENU_END = "0 = quit and reformat your input file, \n";

using Startup = BatchTest;

TEST_F(Startup, SummaryAndMenuWithDefaults)
{
    write("survey.csv", DATABASE);
    const BatchRun r = run({"survey.csv"}, "0\n");
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.out, golden("summary_defaults.txt"));
    EXPECT_EQ(r.err, "");
    EXPECT_FALSE(exists("surveylog.txt"));
}

TEST_F(Startup, SummaryShowsTheConfiguredValues)
{
    write("survey.csv", DATABASE);
    write("ipcreg.txt",
          "## written by hand\r\n"
          "GPSMINDIST 5\nGPSMAXDIST 60.5\nDATADIR 1\nTRANSX 475000\nTRANSY 3640000\nZEROPAD 0\n"
          "FILEEXT 1\nMINRANGE 2\nMAXRANGE 80\nXMIN -5\nZMIN 1.5\nZMAX 40\ndCX 0.5\ndCY 0.25\n"
          "dCZ 2\nNUMPPC 010\nMINNUMPTS 0x20\nMAXDISTINITIAL 0.75\nREGMODE 2\nREGSOL 5\n"
          "MAXITER 7.9\nMAXREPEAT 50\nALPHA 3\nALPHAINC 4\nALPHATHRESH 0.001\nRMSTHRESH 0.01\n");
    const BatchRun r = run({"survey.csv"}, "0\n");
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.out, golden("summary_configured.txt"));
}

TEST_F(Startup, EverySolutionMethodHasItsSummaryLine)
{
    write("survey.csv", DATABASE);
    const struct {
        const char* regsol;
        const char* line;
    } methods[] = {
        {"0", "\n   Partial Least Squares Solution Method will be used\n"},
        {"1", "\n   Iterative Search Method will be used \n"},
        {"2", "\n  Ping Pong Least Squares Method will be used\n"},
        {"3", "\n  Point-to-Plane Gauss-Newton Method will be used\n"},
        {"-1", "\n  Ping Pong Least Squares Method will be used\n"},
        {"4", "\n  Ping Pong Least Squares Method will be used\n"},
    };
    for (const auto& m : methods) {
        SCOPED_TRACE(m.regsol);
        write("ipcreg.txt", std::string("REGSOL ") + m.regsol + "\n");
        const BatchRun r = run({"survey.csv"}, "0\n");
        EXPECT_NE(r.out.find(std::string(m.line) + "   Number of iterations for rotations:  5 \n"), std::string::npos);
    }
}

TEST_F(Startup, ScanListNeighboursAndAModeThatRunsNothing)
{
    write("survey.csv", DATABASE);
    write("ipcreg.txt", "TRANSX 475000\nTRANSY 3640000\n");
    const BatchRun r = run({"survey.csv"}, "12\n\n\n");
    EXPECT_EQ(r.exitStatus, 0);
    const std::string expected = golden("startup_mode12.txt");
    ASSERT_EQ(r.out.substr(0, r.out.find(MENU_END)), expected.substr(0, expected.find(MENU_END)));
    EXPECT_EQ(r.out.substr(r.out.find(MENU_END)), expected.substr(expected.find(MENU_END)));
    EXPECT_TRUE(exists("surveylog.txt"));
    EXPECT_EQ(read("surveylog.txt"), "");
}

TEST_F(Startup, WindowsLineEndsReadLikeUnixOnes)
{
    write("survey.csv", DATABASE);
    write("ipcreg.txt", "## settings\nTRANSX 475000\nDATADIR 0\nZEROPAD 1\n");
    const BatchRun unix = run({"survey.csv"}, "12\n\n\n");
    write("survey.csv", replaced(DATABASE, "\n", "\r\n"));
    write("ipcreg.txt", "## settings\r\nTRANSX 475000\r\nDATADIR 0\r\nZEROPAD 1\r\n");
    const BatchRun windows = run({"survey.csv"}, "12\r\n\r\n\r\n");
    EXPECT_EQ(windows.exitStatus, 0);
    EXPECT_EQ(windows.out, unix.out);
}

TEST_F(Startup, AnswersThatEndTheProgram)
{
    write("survey.csv", DATABASE);
    struct Case {
        const char* input;
        int status;
        bool scansListed;
        bool logWritten;
    } cases[] = {
        {"0\n", 1, false, false},      // quit at the menu
        {"", 1, false, false},         // no answer at all: never run a mode nobody chose
        {"12\nx\n", 1, true, false},   // x at the confirmation
        {"12\nX\n", 0, true, true},    // upper-case X does not quit
        {"12\n", 0, true, true},       // closed input at the confirmation and the final wait
        {"0x0C\n\n\n", 0, true, true}, // %i reads hexadecimal
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        std::remove(path("surveylog.txt").c_str());
        const BatchRun r = run({"survey.csv"}, c.input);
        EXPECT_EQ(r.exitStatus, c.status);
        EXPECT_EQ(r.out.find("There are 4 scans to process") != std::string::npos, c.scansListed);
        EXPECT_EQ(exists("surveylog.txt"), c.logWritten);
        if (!c.scansListed) {
            EXPECT_EQ(r.out.substr(r.out.size() - std::string(MENU_END).size()), MENU_END);
        }
    }
}

TEST_F(Startup, AnswerThatIsNoNumberRunsModeOne)
{
    write("survey.csv", DATABASE);
    const BatchRun r = run({"survey.csv"}, "abc\n\n\n");
    EXPECT_NE(r.out.find("\nREGISTERING SCANS\n"), std::string::npos);
}

TEST_F(Startup, MissingDatabase)
{
    const BatchRun r = run({"missing.csv"}, "1\n\n");
    EXPECT_EQ(r.exitStatus, 1);
    const std::string tail = r.out.substr(r.out.find(MENU_END) + std::string(MENU_END).size());
    EXPECT_EQ(tail,
              "\nUnable to open data file at missing.csv \n"
              "There are 0 scans to process\n"
              "Loading GPS points from file missing.csv \n\nFiles to be processed:  \n\n"
              "Unable to open data file at missing.csv \n"
              "Please verify the location of the file and try again. \n");
    EXPECT_FALSE(exists("missinglog.txt"));
}

TEST_F(Startup, StartWithoutArgumentsUsesTestTxt)
{
    const BatchRun r = run({}, "3\n\n");
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.out.find("   GPS file name: test.txt \n"), std::string::npos);
    EXPECT_NE(r.out.find("Unable to open data file at test.txt \n"), std::string::npos);
}

TEST_F(Startup, DatabaseNameWithoutTxtOrCsvIsRefused)
{
    for (const char* name : {"survey.dat", ".csv", "survey.CSV"}) {
        SCOPED_TRACE(name);
        const BatchRun r = run({name}, "1\n\n");
        EXPECT_EQ(r.exitStatus, 1);
        EXPECT_EQ(r.out, std::string("The survey database \"") + name
                             + "\" cannot be used: its name must end in .csv or .txt \n"
                               "Please restart the program with the survey database as its argument. \n");
    }
}

TEST_F(Startup, ConfigurationBesideTheProgramOrInTheWorkingFolder)
{
    write("survey.csv", DATABASE);
    write("ipcreg.txt", "NUMPPC 7\n");
    // A program path whose last separator stands beyond index 3 reads the file beside it.
    BatchRun r = run({"survey.csv"}, "0\n", path("tavrinbatch"));
    EXPECT_NE(r.out.find("Points per cube for registration: 7 \n"), std::string::npos);
    EXPECT_EQ(r.out.find("Could not open master input file"), std::string::npos);
    // "/ab/x" has its separator at index 3: the working folder's file is read.
    r = run({"survey.csv"}, "0\n", "/ab/tavrinbatch");
    EXPECT_NE(r.out.find("Points per cube for registration: 7 \n"), std::string::npos);
    // "/abc/x" names a folder without a configuration file.
    r = run({"survey.csv"}, "0\n", "/abc/tavrinbatch");
    EXPECT_EQ(r.out.find("Could not open master input file /abc/ipcreg.txt\n"), 0u);
}

TEST_F(Startup, ModeFiveNeedsTwoPointFiles)
{
    write("survey.csv", DATABASE);
    const BatchRun r = run({"survey.csv"}, "5\n\n", "tavrinbatch");
    EXPECT_EQ(r.exitStatus, 1);
    const std::string tail = r.out.substr(r.out.find(MENU_END) + std::string(MENU_END).size());
    EXPECT_EQ(tail, "\nMode 5 compares two point files given on the command line: \n"
                    "   tavrinbatch <survey database> <point file 1> <point file 2> \n");
    EXPECT_FALSE(exists("surveylog.txt"));
}

TEST_F(Startup, ModeFiveSkipsTheDatabaseAndLogsBesideTestTxt)
{
    const BatchRun r = run({"survey.csv", "a.txt", "b.txt"}, "5\n\n");
    EXPECT_EQ(r.out.find("There are"), std::string::npos);
    EXPECT_NE(r.out.find("   GPS file name: test.txt \n"), std::string::npos);
    EXPECT_TRUE(exists("testlog.txt"));
}

TEST_F(Startup, LogThatCannotBeCreated)
{
    write("survey.csv", DATABASE);
    ASSERT_EQ(mkdir(path("surveylog.txt").c_str(), 0755), 0);
    const BatchRun r = run({"survey.csv"}, "12\n\n\n");
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.out.find(" \nUnable to create log file surveylog.txt \n"
                         "Please verify that the path exists and can be written. \n"),
              std::string::npos);
    EXPECT_EQ(r.out.find("100 percent complete"), std::string::npos);
}

TEST_F(Startup, RecordWithANonNumberEndsTheScanList)
{
    write("survey.csv", std::string(DATABASE) + "475011,3640045,5,0,0,90,five,42,S5\n475011,3640045,5,0,0,90,6,42,S6\n");
    const BatchRun r = run({"survey.csv"}, "12\n\n\n");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_NE(r.out.find("X,Y,Z,A1,A2,A3,ID1,ID2,NAME\n"
                         "Record 5 of the survey database holds \"five,42,S5\" where a number "
                         "belongs; only the 4 records before it are used. \n"
                         "There are 4 scans to process\n"),
              std::string::npos);
}

}  // namespace
