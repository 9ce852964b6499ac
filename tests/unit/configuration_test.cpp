#include "batch/inputs/configuration.h"

#include "tests/support/test_files.h"

#include <gtest/gtest.h>

namespace {

RegSettings readText(const std::string& text)
{
    TempDir dir;
    writeFile(dir.file("ipcreg.txt"), text);
    RegSettings settings;
    EXPECT_TRUE(readConfigurationFile(dir.file("ipcreg.txt"), settings));
    return settings;
}

TEST(Configuration, KeysMatchOnlyWithTheirBlank)
{
    const RegSettings s = readText("ALPHA 3\nALPHAINC 7\nALPHATHRESH 0.5\n");
    EXPECT_EQ(s.ALPHA, 3.0);
    EXPECT_EQ(s.ALPHAINC, 7);
    EXPECT_EQ(s.ALPHATHRESH, 0.5);

    const RegSettings onlyInc = readText("ALPHAINC 9\n");
    EXPECT_EQ(onlyInc.ALPHA, 2.0);
    EXPECT_EQ(onlyInc.ALPHATHRESH, 1.75e-5);
}

TEST(Configuration, LinesThatAreNotKeyBlankValueAreIgnored)
{
    struct Case {
        const char* line;
        double xmin;
    } cases[] = {
        {"XMIN -5\n", -5.0},
        {"XMIN\t-5\n", -1e10},   // tab instead of the blank
        {" XMIN -5\n", -1e10},   // blank before the key
        {"xmin -5\n", -1e10},    // keys are case-sensitive
        {"# XMIN -5\n", -1e10},  // comment
        {"XMIN word\n", -1e10},  // no number: keeps the default
        {"XMIN  \t -5 trailing\n", -5.0},
        {"XMIN -5\r\n", -5.0},  // written on Windows
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(readText(c.line).XMIN, c.xmin);
    }
}

TEST(Configuration, IntegersReadLikePercentI)
{
    struct Case {
        const char* value;
        int32_t expected;
    } cases[] = {
        {"7.9", 7}, {"010", 8}, {"0x1F", 31}, {"-3", -3}, {"word", 5}, {"99999999999", INT32_MAX},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(readText(std::string("MAXITER ") + c.value + "\n").MAXITER, c.expected);
    }
}

TEST(Configuration, LastOccurrenceWinsAndOtherFieldsKeepDefaults)
{
    const RegSettings s = readText("ZMIN -5\nNUMPPC 4\nZMIN 2.5\n");
    EXPECT_EQ(s.ZMIN, 2.5);
    EXPECT_EQ(s.YMIN, -1e10);
    EXPECT_EQ(s.NUMPPC, 4);
    EXPECT_EQ(s.GPSMAXDIST, 200.0);
}

TEST(Configuration, LongLinesAreReadInPiecesOf255)
{
    // The second piece of an over-long comment line starts with a key: it counts as a line.
    const std::string line = "#" + std::string(254, 'c') + "NUMPPC 3\n";
    EXPECT_EQ(readText(line).NUMPPC, 3);
}

TEST(Configuration, MissingFileKeepsDefaults)
{
    // The caller says where it looked: the reader itself prints nothing.
    testing::internal::CaptureStdout();
    RegSettings s;
    EXPECT_FALSE(readConfigurationFile("/nonexistent/ipcreg.txt", s));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(s.MAXRANGE, 999999999.0);
}

TEST(OutputNames, DerivedBesideTheDatabase)
{
    struct Case {
        const char* path;
        bool ok;
        const char* base;
        const char* reg;
        const char* log;
    } cases[] = {
        {"survey.csv", true, "survey", "surveyreg.csv", "surveylog.txt"},
        {"test.txt", true, "test", "testreg.csv", "testlog.txt"},
        {"D:\\cliff\\survey.csv", true, "D:\\cliff\\survey", "D:\\cliff\\surveyreg.csv", "D:\\cliff\\surveylog.txt"},
        {"a.csv", true, "a", "areg.csv", "alog.txt"},
        {".csv", false, "", "", ""},
        {"survey.CSV", false, "", "", ""},
        {"survey.dat", false, "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        RegSettings s;
        EXPECT_EQ(deriveOutputNames(c.path, s), c.ok);
        EXPECT_EQ(s.scanDatabaseName, c.base);
        EXPECT_EQ(s.regFileName, c.reg);
        EXPECT_EQ(s.logFileName, c.log);
    }
    EXPECT_EQ(withSuffix("A.bxyz", "rot.csv"), "A.rot.csv");
}

TEST(Configuration, AnglesBecomeRadiansWithTheProgramsPi)
{
    RegSettings s;
    s.ALPHA = 90.0;
    convertAnglesToRadians(s);
    EXPECT_DOUBLE_EQ(s.ALPHA, 1.570796325);
}

}  // namespace

// The settings template and the settings reference describe every key of the table:
// the template sets each key once, at its default (REGSOL at the recommended method),
// and reads without a complaint; the reference has a row for each key.
TEST(Configuration, TemplateAndReferenceHoldEveryKey)
{
    const std::string templatePath = std::string(TAVRIN_SOURCE_DIR) + "/examples/ipcreg.txt";
    const std::string text = readFile(templatePath);
    const std::string reference = readFile(std::string(TAVRIN_SOURCE_DIR) + "/docs/settings.md");
    ASSERT_FALSE(text.empty());
    ASSERT_FALSE(reference.empty());
    RegSettings read;
    testing::internal::CaptureStdout();
    EXPECT_TRUE(readConfigurationFile(templatePath, read));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    const RegSettings defaults;
    for (int k = 0; k < SETTING_COUNT; ++k) {
        const std::string key = SETTING_KEYS[k].name;
        SCOPED_TRACE(key);
        int lines = 0;
        for (std::size_t at = text.find(key + " "); at != std::string::npos; at = text.find(key + " ", at + 1))
            if (at == 0 || text[at - 1] == '\n')
                ++lines;
        EXPECT_EQ(lines, 1);
        if (key != "REGSOL") {
            EXPECT_EQ(settingValue(read, k), settingValue(defaults, k));
        }
        const std::size_t row = reference.find("| `" + key + "`");
        const std::size_t shared = reference.find(", `" + key + "`");
        EXPECT_TRUE(row != std::string::npos || shared != std::string::npos) << "no row in docs/settings.md";
    }
}
