#include "tests/import/sample_files.h"
#include "tests/support/test_files.h"

#include "import/import_run.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

int32_t filesIn(const std::string& folder)
{
    int32_t n = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        n += entry.is_regular_file() ? 1 : 0;
    }
    return n;
}

TEST(ImportRun, WritesRecordsOfThreeLittleEndianDoublesAndEightZeroBytes)
{
    TempDir dir;
    writeFile(dir.file("in.xyz"), "0.5 -2 1024\n");
    ImportRequest request{dir.file("in.xyz"), dir.file("out.bxyz"), {}, false, {}};
    ImportReport report;
    ASSERT_TRUE(runImport(request, report)) << report.error;
    const std::string expected("\0\0\0\0\0\0\xe0\x3f"
                               "\0\0\0\0\0\0\x00\xc0"
                               "\0\0\0\0\0\0\x90\x40"
                               "\0\0\0\0\0\0\0\0",
                               32);
    EXPECT_EQ(readFile(dir.file("out.bxyz")), expected);
    EXPECT_EQ(filesIn(dir.path()), 2);  // no temporary file left
}

TEST(ImportRun, NeverOverwritesItsInput)
{
    TempDir dir;
    const std::string text = "1 2 3\n";
    writeFile(dir.file("scan.xyz"), text);
    fs::create_hard_link(dir.file("scan.xyz"), dir.file("linked.bxyz"));
    fs::create_symlink(dir.file("scan.xyz"), dir.file("symlinked.bxyz"));
    fs::create_directory(dir.file("sub"));
    const std::string ptx = ptxScan(1, 1, {0, 0, 0}, ptxTranslation(0, 0, 0), {"1 2 3"});
    writeFile(dir.file("scan.pose.txt"), ptx);  // a PTX whose side file would be itself
    struct Row {
        const char* name;
        std::string input;
        std::string output;
    };
    const Row rows[] = {
        {"hard link", dir.file("scan.xyz"), dir.file("linked.bxyz")},
        {"symbolic link", dir.file("scan.xyz"), dir.file("symlinked.bxyz")},
        {"same file by another path", dir.file("scan.xyz"), dir.file("sub/../scan.xyz")},
        {"side file", dir.file("scan.pose.txt"), dir.file("scan.bxyz")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ImportRequest request{row.input, row.output, {}, false, {}};
        ImportReport report;
        EXPECT_FALSE(runImport(request, report));
        EXPECT_FALSE(report.error.empty());
    }
    EXPECT_EQ(readFile(dir.file("scan.xyz")), text);
    EXPECT_EQ(readFile(dir.file("scan.pose.txt")), ptx);
    EXPECT_FALSE(fileExists(dir.file("scan.bxyz")));
    EXPECT_EQ(filesIn(dir.path()), 4);
}

TEST(ImportRun, FailedConversionLeavesTheOldOutputAlone)
{
    TempDir dir;
    const std::string old = "old output, not a point file";
    LasSample las;
    las.points.assign(5000, {1, 2, 3});
    const std::string full = lasFile(las);
    struct Row {
        const char* name;
        std::string input;
        const char* says;
    };
    const Row rows[] = {
        {"file ends inside the points", full.substr(0, full.size() - 10), "cut short"},
        {"every point dropped", "0 0 nan\ninf 1 1\n", "no point is left"},
        {"grid cut short", ptxScan(2, 3, {0, 0, 0}, ptxTranslation(0, 0, 0), {"1 1 1", "2 2 2"}), "cut short"},
        {"E57 file cut short", "ASTM-E57 and more", "cut short"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        writeFile(dir.file("input"), row.input);
        writeFile(dir.file("out.bxyz"), old);
        ImportRequest request{dir.file("input"), dir.file("out.bxyz"), {}, false, {}};
        ImportReport report;
        EXPECT_FALSE(runImport(request, report));
        EXPECT_NE(report.error.find(row.says), std::string::npos) << report.error;
        EXPECT_EQ(readFile(dir.file("out.bxyz")), old);
        EXPECT_EQ(filesIn(dir.path()), 2);
    }
}

TEST(ImportRun, PtxPoseGoesToTheSideFile)
{
    TempDir dir;
    const std::array<std::array<double, 4>, 4> pose = {{{0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 1, 0}, {0.1, 0.2, 0.3, 1}}};
    writeFile(dir.file("in.ptx"), ptxScan(2, 1, {0.1, 0.2, 0.3}, pose, {"0 0 0 0", "3 4 0 1"}));
    ImportRequest request{dir.file("in.ptx"), dir.file("out.bxyz"), {1, false}, false, {}};
    ImportReport report;
    ASSERT_TRUE(runImport(request, report)) << report.error;
    EXPECT_EQ(report.poseFile, dir.file("out.pose.txt"));
    const std::string side = readFile(dir.file("out.pose.txt"));
    for (const char* line : {"\nSCAN 1\n", "\nCOLUMNS 2\n", "\nROWS 1\n", "\nPOSE_APPLIED 0\n",
                             "\nSCANNER_POSITION 0.10000000000000001 0.20000000000000001 0.29999999999999999\n",
                             "\nTRANSFORM_ROW_2 -1 0 0 0\n", "\nTRANSFORM_ROW_4 0.10000000000000001 "}) {
        EXPECT_NE(side.find(line), std::string::npos) << line;
    }
    EXPECT_EQ(bxyzPoints(readFile(dir.file("out.bxyz"))), (std::vector<Vec3>{{3, 4, 0}}));
    EXPECT_EQ(report.stats.farthestSquared, 25.0);  // from the scanner at the frame's origin
}

}  // namespace
