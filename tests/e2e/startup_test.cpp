#include "tests/e2e/e2e_fixture.h"

#include <sys/stat.h>

#include <cstdio>

namespace {

const char* const DATABASE = "X,Y,Z,A1,A2,A3,ID1,ID2,NAME\n"
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

TEST_F(Startup, ScanListNeighboursAndTheMatrices)
{
    write("survey.csv", DATABASE);
    write("ipcreg.txt", "TRANSX 475000\nTRANSY 3640000\n");
    const BatchRun r = run({"survey.csv"}, "8\n\n\n");
    EXPECT_EQ(r.exitStatus, 0);
    const std::string expected = golden("startup_mode8.txt");
    ASSERT_EQ(r.out.substr(0, r.out.find(MENU_END)), expected.substr(0, expected.find(MENU_END)));
    EXPECT_EQ(r.out.substr(r.out.find(MENU_END)), expected.substr(expected.find(MENU_END)));
    EXPECT_TRUE(exists("surveylog.txt"));
    EXPECT_EQ(read("surveylog.txt"), "");
}

TEST_F(Startup, WindowsLineEndsReadLikeUnixOnes)
{
    write("survey.csv", DATABASE);
    write("ipcreg.txt", "## settings\nTRANSX 475000\nDATADIR 0\nZEROPAD 1\n");
    const BatchRun unix = run({"survey.csv"}, "8\n\n\n");
    write("survey.csv", replaced(DATABASE, "\n", "\r\n"));
    write("ipcreg.txt", "## settings\r\nTRANSX 475000\r\nDATADIR 0\r\nZEROPAD 1\r\n");
    const BatchRun windows = run({"survey.csv"}, "8\r\n\r\n\r\n");
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
        {"8\nx\n", 1, true, false},    // x at the confirmation
        {"8\nX\n", 0, true, true},     // upper-case X does not quit
        {"8\n", 0, true, true},        // closed input at the confirmation and the final wait
        {"0x8\n\n\n", 0, true, true},  // read as "%i" reads: hexadecimal
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        std::remove(path("surveylog.txt").c_str());
        const BatchRun r = run({"survey.csv"}, c.input);
        EXPECT_EQ(r.exitStatus, c.status);
        EXPECT_EQ(r.out.find("There are 4 scans to process") != std::string::npos, c.scansListed);
        EXPECT_EQ(exists("surveylog.txt"), c.logWritten);
        if (!c.scansListed) {
            EXPECT_EQ(r.out.substr(r.out.size() - std::string(MENU_END).size()), MENU_END) << r.out;
        }
    }
}

TEST_F(Startup, AnAnswerThatIsNoModeIsAskedAgain)
{
    // A typo must never start a run that replaces the results.
    write("survey.csv", DATABASE);
    const std::string again = "Please answer with a mode number from 0 to 9.\n";
    BatchRun r = run({"survey.csv"}, "q\nquit\none\nx\n12\n\n1x\n-1\n0\n");
    EXPECT_EQ(r.exitStatus, 1);
    std::string expected = MENU_END;
    for (int k = 0; k < 8; ++k)
        expected += again;
    EXPECT_EQ(r.out.substr(r.out.find(MENU_END)), expected);
    EXPECT_FALSE(exists("surveylog.txt"));
    // The input ends after a wrong answer: quit, as at the end of the input anywhere.
    r = run({"survey.csv"}, "q\n");
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.out.substr(r.out.find(MENU_END)), MENU_END + again);

    // The rest of a wrong answer's line is not taken for the confirmation.
    r = run({"survey.csv"}, "q x\n  8 \r\n\n\n");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_NE(r.out.find(MENU_END + again + "\n"), std::string::npos);
    EXPECT_NE(r.out.find("Writing Transform Matricies for 4 scans....\n"), std::string::npos);
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
        EXPECT_EQ(r.out,
                  std::string("The survey database \"") + name
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
    // "/abc/x" names a folder without a configuration file: the one beside the database
    // is read, and the console says which.
    r = run({"survey.csv"}, "0\n", "/abc/tavrinbatch");
    EXPECT_EQ(r.out.find("Settings read from ipcreg.txt\n"), 0u);
    EXPECT_NE(r.out.find("Points per cube for registration: 7 \n"), std::string::npos);

    // Started by its path from another folder: the settings beside the database.
    ASSERT_EQ(mkdir(path("cliff").c_str(), 0755), 0);
    write("cliff/survey.csv", DATABASE);
    write("cliff/ipcreg.txt", "NUMPPC 9\n");
    r = run({"cliff/survey.csv"}, "0\n", "/abc/tavrinbatch");
    EXPECT_EQ(r.out.find("Settings read from cliff/ipcreg.txt\n"), 0u);
    EXPECT_NE(r.out.find("Points per cube for registration: 9 \n"), std::string::npos);

    // None anywhere: the place of its own first, then every place looked at.
    std::remove(path("ipcreg.txt").c_str());
    std::remove(path("cliff/ipcreg.txt").c_str());
    r = run({"cliff/survey.csv"}, "0\n", "/abc/tavrinbatch");
    EXPECT_EQ(r.out.find("Could not open master input file /abc/ipcreg.txt\n"
                         "Looked for it at /abc/ipcreg.txt, cliff/ipcreg.txt, ipcreg.txt \n"
                         "USING DEFAULT VALUES!!!!\n"),
              0u);
}

TEST_F(Startup, SettingsLinesThatSetNothingAreReported)
{
    write("survey.csv", DATABASE);
    write("ipcreg.txt",
          "\xEF\xBB\xBFGPSMINDIST 5\n## a comment\n\n   \nNUMPPC\t20\nZMIN=3\ndcx 2\nMAXITER abc\n"
          "dCX 2,5\nMAXITER 7.9\nZEROPAD 1 = true\nTRANSX 475000.0.\n");
    const BatchRun r = run({"survey.csv"}, "0\n");
    EXPECT_EQ(r.out.substr(0, r.out.find("Input file Summary:")),
              "ipcreg.txt line 1: \"\xEF\xBB\xBFGPSMINDIST 5\" is not a setting; it is ignored\n"
              "ipcreg.txt line 5: \"NUMPPC\t20\" is not a setting; it is ignored\n"
              "ipcreg.txt line 6: \"ZMIN=3\" is not a setting; it is ignored\n"
              "ipcreg.txt line 7: \"dcx 2\" is not a setting; it is ignored\n"
              "ipcreg.txt line 8: \"MAXITER abc\" is not a setting; it is ignored\n"
              "ipcreg.txt line 9: \"2,5\" is not a number; dCX is 2\n"
              "ipcreg.txt line 10: \"7.9\" is not a number; MAXITER is 7\n"
              "ipcreg.txt line 12: \"475000.0.\" is not a number; TRANSX is 475000.0\n"
              "Settings read from ipcreg.txt\n");
    // Read as before: the values that were read stand.
    EXPECT_NE(r.out.find("       dx = 2.000000, dy = 1.000000, dz = 1.000000 \n"), std::string::npos);
    EXPECT_NE(r.out.find("   Number of iterations for rotations:  7 \n"), std::string::npos);
}

TEST_F(Startup, ModeFiveNeedsTwoPointFiles)
{
    write("survey.csv", DATABASE);
    const BatchRun r = run({"survey.csv"}, "5\n\n", "tavrinbatch");
    EXPECT_EQ(r.exitStatus, 1);
    const std::string tail = r.out.substr(r.out.find(MENU_END) + std::string(MENU_END).size());
    EXPECT_EQ(tail,
              "\nMode 5 compares two point files given on the command line: \n"
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
    const BatchRun r = run({"survey.csv"}, "8\n\n\n");
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.out.find(" \nUnable to create log file surveylog.txt \n"
                         "Please verify that the path exists and can be written. \n"),
              std::string::npos);
    EXPECT_EQ(r.out.find("100 percent complete"), std::string::npos);
}

TEST_F(Startup, DatabaseLinesThatAreNoRecordsStopTheRun)
{
    // Positions and names shifted across records would be registered and replace the
    // results: every line after the header is one record of nine fields, or nothing runs.
    const struct {
        const char* record;
        const char* message;
    } mistakes[] = {
        {"475011,5;3640045,5;5;0;0;90;5;42;S5",
         "survey.csv line 7: 3 fields where 9 belong (X,Y,Z,A1,A2,A3,ID1,ID2,NAME) \n"},
        {"475011,5,3640045,5,5,0,0,90,5,42,S5",
         "survey.csv line 7: 11 fields where 9 belong (X,Y,Z,A1,A2,A3,ID1,ID2,NAME) \n"},
        {"475011,3640045,5,0,0,90,5,42,S5,",
         "survey.csv line 7: 10 fields where 9 belong (X,Y,Z,A1,A2,A3,ID1,ID2,NAME) \n"},
        {"475011,3640045,5,0,0,90,5,42,\"S5\"", "survey.csv line 7: the name \"\"S5\"\" holds a blank or a quote \n"},
        {"475011,3640045,5,0,0,90,5,42,S 5", "survey.csv line 7: the name \"S 5\" holds a blank or a quote \n"},
        {"475011,3640045,5,0,0,90,five,42,S5", "survey.csv line 7: \"five\" is not a number \n"},
        {"475011,3640045,5,0,0,nan,5,42,S5", "survey.csv line 7: \"nan\" is not a number \n"},
    };
    for (const auto& m : mistakes) {
        SCOPED_TRACE(m.record);
        write("survey.csv", std::string(DATABASE) + "\n" + m.record + "\n475011,3640045,5,0,0,90,6,42,S6\n");
        const BatchRun r = run({"survey.csv"}, "8\n\n\n");
        EXPECT_EQ(r.exitStatus, 1);
        EXPECT_NE(r.out.find(MENU_END + std::string("\nX,Y,Z,A1,A2,A3,ID1,ID2,NAME\n") + m.message), std::string::npos)
            << r.out.substr(r.out.find(MENU_END));
        EXPECT_EQ(r.out.find("There are"), std::string::npos);
        EXPECT_FALSE(exists("surveylog.txt"));
        EXPECT_FALSE(exists("survey_001_042_S1s.dat"));
    }
    // Blank lines, Windows line ends and a last line without its line end are fine.
    write("survey.csv", replaced(std::string(DATABASE), "\n", "\r\n") + "\r\n  \r\n475011,3640045,5,0,0,90,5,42,S5");
    const BatchRun r = run({"survey.csv"}, "8\n\n\n");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_NE(r.out.find("There are 5 scans to process\n"), std::string::npos);
}

}  // namespace
