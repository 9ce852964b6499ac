#include "tests/tools/survey_reading.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>

namespace {

#ifndef MAKE_EXAMPLE_SURVEY
#define MAKE_EXAMPLE_SURVEY ""
#endif
#ifndef MAKE_EXAMPLE_SURVEY_32B
#define MAKE_EXAMPLE_SURVEY_32B ""
#endif
#ifndef QEMU_I386
#define QEMU_I386 ""
#endif
#ifndef TERRAIN_SAMPLE
#define TERRAIN_SAMPLE ""
#endif

// Runs the command with stdout and stderr into files in `dir`; returns the exit status.
int run(const std::string& command, const std::string& dir)
{
    const std::string full = command + " > '" + dir + "/stdout.txt' 2> '" + dir + "/stderr.txt'";
    const int status = std::system(full.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int32_t countEntries(const std::string& dir)
{
    int32_t n = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        n += entry.is_regular_file() ? 1 : 0;
    }
    return n;
}

}  // namespace

TEST(MakeExampleSurvey, BadCommandLinesExitWithStatus2)
{
    const std::string exe = std::string(MAKE_EXAMPLE_SURVEY);
    if (exe.empty()) {
        GTEST_SKIP() << "built without the program's path";
    }
    const char* rows[] = {
        "",
        "--scans 6",
        "--out D --scans 1",
        "--out D --scans 11",
        "--out D --points 12x",
        "--out D --points 999",
        "--out D --direction up",
        "--out D --noise abc",
        "--out D --seed -1",
        "--out D --frobnicate 1",
        "--out D --cube 7",
        "--out D --name a/b",
        "--out D --max-error 1e999",
        "--out D --scans",
        "--out D --noise -0.1",
        "--out D --scans 2 --errors 0,0.5,1",
        "--out D --errors 0,,1",
        "--out D --scans 2 --errors 0,181",
        "--out D --spacing 2",
        "--out D --scene terrain:",
        "--out D --scene moon",
        "--out D --formats ply,ply",
        "--out D --formats xyz",
        "--out D --formats bxyz,",
        "--out D --formats e57,las,e57",
    };
    for (const char* args : rows) {
        SCOPED_TRACE(args);
        TempDir dir;
        std::string line = args;
        const size_t at = line.find(" D");
        if (at != std::string::npos) {
            line.replace(at + 1, 1, "'" + dir.path() + "/out'");
        }
        EXPECT_EQ(run("'" + exe + "' " + line, dir.path()), 2);
        EXPECT_NE(readFile(dir.path() + "/stderr.txt").find("Usage: make_example_survey"), std::string::npos);
        EXPECT_FALSE(std::filesystem::exists(dir.path() + "/out"));
    }
}

TEST(MakeExampleSurvey, PrintsOneLinePerFileWritten)
{
    const std::string exe = std::string(MAKE_EXAMPLE_SURVEY);
    if (exe.empty()) {
        GTEST_SKIP() << "built without the program's path";
    }
    TempDir dir;
    const std::string out = dir.path() + "/new/folder";
    ASSERT_EQ(run("'" + exe + "' --out '" + out + "' --name cliff --scans 5 --points 2000", dir.path()), 0);
    const std::vector<std::string> lines = readLines(dir.path() + "/stdout.txt");
    ASSERT_EQ(lines.size(), 9u);  // database, five scans, configuration, truth, README
    for (const std::string& line : lines) {
        SCOPED_TRACE(line);
        ASSERT_EQ(line.rfind("Wrote " + out + "/", 0), 0u);
        const std::string path = line.substr(6, line.find(' ', 6) - 6);
        EXPECT_TRUE(std::filesystem::exists(path));
    }
    EXPECT_EQ(lines[0], "Wrote " + out + "/cliff.csv");
    EXPECT_EQ(lines[1].rfind("Wrote " + out + "/cliff_001_001_S1.bxyz (", 0), 0u);
    EXPECT_EQ(countEntries(out), 9);
}

// The 32-bit build (SSE2) writes byte for byte what the 64-bit build writes: the cliff,
// the two-scan pair, the cliff's scans as PLY and LAS too, and the terrain survey.
TEST(MakeExampleSurvey, BothBuildsWriteTheSameBytes)
{
    const std::string exe = std::string(MAKE_EXAMPLE_SURVEY);
    const std::string exe32 = std::string(MAKE_EXAMPLE_SURVEY_32B);
    const std::string qemu = std::string(QEMU_I386);
    if (exe.empty() || exe32.empty() || qemu.empty()) {
        GTEST_SKIP() << "needs the 32-bit build and qemu-i386";
    }
    struct Row {
        std::string args;
        int32_t files;
    };
    const Row rows[] = {
        {" --scans 4 --points 3000 --seed 5 --direction ew --max-error 0.7", 8},
        {" --scans 2 --points 3000 --spacing 30 --errors 0,0.5", 6},
        {" --scans 3 --points 3000 --formats bxyz,ply,las,e57", 11},
        {" --scene 'terrain:" + std::string(TERRAIN_SAMPLE) + "' --seed 3", 10},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.args);
        TempDir dir;
        ASSERT_EQ(run("'" + exe + "' --quiet --out '" + dir.path() + "/x64'" + r.args, dir.path()), 0);
        ASSERT_EQ(run("'" + qemu + "' '" + exe32 + "' --quiet --out '" + dir.path() + "/x32'" + r.args, dir.path()), 0);
        int32_t files = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path() + "/x64")) {
            const std::string name = entry.path().filename().string();
            SCOPED_TRACE(name);
            EXPECT_EQ(readFile(dir.path() + "/x64/" + name), readFile(dir.path() + "/x32/" + name));
            ++files;
        }
        EXPECT_EQ(files, r.files);
    }
}
