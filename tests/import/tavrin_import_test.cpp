// The real program, run as a user runs it: exit statuses, files written, messages.
#include "tests/import/sample_files.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>

namespace {

TEST(TavrinImport, WritesTheScanUnderItsDatabaseName)
{
    if (!haveImporter())
        GTEST_SKIP() << "built without the program's path";
    TempDir dir;
    writeFile(dir.file("cliff.csv"), "X,Y,Z,A1,A2,A3,ID1,ID2,NAME\n1,2,3,0,0,0,4,5,North\n1,2,3,0,0,0,14,2,South\n");
    writeFile(dir.file("ipcreg.txt"), "ZEROPAD 1\n");
    LasSample las;
    las.versionMinor = 4;
    las.format = 6;
    las.legacyCount = false;
    las.points = {{100, 200, 300}, {-100, 0, 5}};
    las.offset[0] = 1000.0;
    writeFile(dir.file("south.las"), lasFile(las));
    const ProgramRun run = runImporter(dir, "south.las --database cliff.csv --record 2");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const std::vector<Vec3> expected = {{1001, 2, 3}, {999, 0, 0.05}};
    EXPECT_EQ(bxyzPoints(readFile(dir.file("cliff_014_002_South.bxyz"))), expected);
    EXPECT_NE(run.out.find("Points written:  2\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("x 999.000 .. 1001.000   y 0.000 .. 2.000   z 0.050 .. 3.000 m"), std::string::npos)
        << run.out;

    const ProgramRun again = runImporter(dir, "south.las --database cliff.csv --scan-id 4 --zeropad 0 --quiet");
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.out, "");
    EXPECT_TRUE(fileExists(dir.file("cliff_4_5_North.bxyz")));
}

TEST(TavrinImport, BadCommandLinesExitWithStatus2)
{
    if (!haveImporter())
        GTEST_SKIP() << "built without the program's path";
    const char* rows[] = {
        "",
        "in.xyz",
        "in.xyz --out out.txt",
        "in.xyz --out a.bxyz --database s.csv --record 1",
        "in.xyz --database s.csv",
        "in.xyz --database s.csv --record 1 --scan-id 2",
        "in.xyz --database s.csv --record 0",
        "in.xyz --database s.csv --record x1",
        "in.xyz --out a.bxyz --record 1",
        "in.xyz --database s.csv --record 1 --zeropad 2",
        "in.xyz --out a.bxyz --ptx-scan 0",
        "in.xyz --out a.bxyz --frobnicate",
        "in.xyz other.xyz --out a.bxyz",
        "in.xyz --out",
        "in.xyz --out a.bxyz --e57-scan 0",
        "in.xyz --out a.bxyz --all-scans",
        "in.xyz --database s.csv --all-scans --record 1",
        "in.xyz --database s.csv --all-scans --e57-scan 2",
        "in.xyz --database s.csv --record 1 --match-names",
        "in.xyz --database s.csv --all-scans --match-names --write-database",
        "in.xyz --database s.csv --all-scans --write-database --apply-pose",
    };
    for (const char* arguments : rows) {
        SCOPED_TRACE(arguments);
        TempDir dir;
        writeFile(dir.file("in.xyz"), "1 2 3\n");
        const ProgramRun run = runImporter(dir, arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find("Usage: tavrin_import"), std::string::npos) << run.err;
        EXPECT_FALSE(fileExists(dir.file("a.bxyz")));
    }
    TempDir dir;
    const ProgramRun help = runImporter(dir, "--help");
    EXPECT_EQ(help.status, 0);
    for (const char* option : {"--ptx-scan K", "--e57-scan K", "--apply-pose", "--all-scans", "--match-names",
                               "--write-database", "--zeropad", "--quiet"}) {
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    }
}

TEST(TavrinImport, RefusedInputsExitWithStatus1AndWriteNothing)
{
    if (!haveImporter())
        GTEST_SKIP() << "built without the program's path";
    LasSample las;
    las.points = {{1, 2, 3}};
    std::string laz = lasFile(las);
    laz[LAS_FORMAT_BYTE] = static_cast<char>(0x81);
    struct Row {
        const char* file;
        std::string bytes;
        const char* says;
    };
    const Row rows[] = {
        {"scan.laz", laz, "decompress it to LAS first, for example with laszip -i in.laz -o out.las"},
        {"scan.e57", std::string("ASTM-E57\0\0\0\0\0\0\0\0", 16), "less than one 1024-byte page: it is cut short"},
        {"scan.bxyz", std::string(32, '\0'), "already a binary point file"},
        {"scan.bin", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), "not a point-cloud file"},
        {"missing.las", "", "no such file"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        TempDir dir;
        if (!row.bytes.empty()) {
            writeFile(dir.file(row.file), row.bytes);
        }
        const ProgramRun run = runImporter(dir, std::string(row.file) + " --out out.bxyz");
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find(row.says), std::string::npos) << run.err;
        EXPECT_FALSE(fileExists(dir.file("out.bxyz")));
    }
    // Uncompressed LAS under a .laz name is read, with a word about the name.
    TempDir dir;
    writeFile(dir.file("scan.laz"), lasFile(las));
    const ProgramRun run = runImporter(dir, "scan.laz --out out.bxyz --quiet");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.err.find("warning: scan.laz: the name ends in .laz, but"), std::string::npos) << run.err;
    EXPECT_EQ(bxyzPoints(readFile(dir.file("out.bxyz"))), (std::vector<Vec3>{{0.01, 0.02, 0.03}}));
}

// One scan of an E57 file, in the scanner's frame or placed by its pose, with its pose beside it.
TEST(TavrinImport, E57ScanGoesOutWithItsPose)
{
    if (!haveImporter())
        GTEST_SKIP() << "built without the program's path";
    std::vector<E57Sample> scans(2);
    scans[0].pose.name = "North";
    scans[1].pose.name = "South";
    rotationOf(0.0, 0.0, std::acos(-1.0) / 2, scans[1].pose.rotation);
    scans[1].pose.translation[0] = 100.0;
    scans[1].pose.translation[1] = 200.0;
    scans[1].pose.translation[2] = 10.0;
    for (E57Sample& scan : scans) {
        scan.layout.invalidState = true;
        scan.points = scanPoints({{3, 4, 0}, {0, 0, 0}});
    }
    TempDir dir;
    writeFile(dir.file("two.e57"), e57File(scans));
    const ProgramRun posed = runImporter(dir, "two.e57 --out s2.bxyz --e57-scan 2 --apply-pose");
    ASSERT_EQ(posed.status, 0) << posed.err;
    for (const char* line : {"Input:           two.e57 (E57, scan 2 (South) of 2, pose applied)\n"
                             "Scans in file:   1 North (2 records)\n"
                             "                 2 South (2 records)\n",
                             "  marked invalid by the scanner            1\n",
                             "m from the scanner position of the scan's pose (100.000 200.000 10.000)\n",
                             "Scanner pose:    s2.pose.txt\n"}) {
        EXPECT_NE(posed.out.find(line), std::string::npos) << line << posed.out;
    }
    const std::vector<Vec3> placed = bxyzPoints(readFile(dir.file("s2.bxyz")));
    ASSERT_EQ(placed.size(), 1u);
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(placed[0][k], (Vec3{96, 203, 10})[k], 1e-9) << k;
    }
    const std::string side = readFile(dir.file("s2.pose.txt"));
    for (const char* line : {"\nSCAN 2\n", "\nNAME South\n", "\nPOSE_APPLIED 1\n",
                             "\nDATABASE_RECORD 100.0000,200.0000,9.7100,0.000000,0.000000,90.000000\n"}) {
        EXPECT_NE(side.find(line), std::string::npos) << line << side;
    }

    const ProgramRun own = runImporter(dir, "two.e57 --out s2.bxyz --e57-scan 2 --ptx-scan 1");
    ASSERT_EQ(own.status, 0) << own.err;
    EXPECT_EQ(bxyzPoints(readFile(dir.file("s2.bxyz"))), (std::vector<Vec3>{{3, 4, 0}}));
    EXPECT_NE(own.out.find("m from the scanner, the origin of its own frame (0.000 0.000 0.000)\n"), std::string::npos)
        << own.out;
    EXPECT_NE(own.out.find("Note:            --ptx-scan ignored (the input is E57)\n"), std::string::npos) << own.out;
    EXPECT_NE(readFile(dir.file("s2.pose.txt")).find("\nPOSE_APPLIED 0\n"), std::string::npos);

    const ProgramRun missing = runImporter(dir, "two.e57 --out s3.bxyz --e57-scan 3");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("there is no scan 3: the file holds 2 scan(s)"), std::string::npos) << missing.err;
    EXPECT_FALSE(fileExists(dir.file("s3.bxyz")));
    EXPECT_FALSE(fileExists(dir.file("s3.pose.txt")));
}

// A file-size limit makes every write past 4 KiB fail, as a full disk would.
TEST(TavrinImport, WriteErrorKeepsTheOldOutput)
{
    if (!haveImporter())
        GTEST_SKIP() << "built without the program's path";
    TempDir dir;
    std::string text;
    for (int i = 0; i < 200000; ++i) {
        text += std::to_string(i) + " 1 2\n";
    }
    writeFile(dir.file("big.xyz"), text);
    writeFile(dir.file("out.bxyz"), "previous");
    const ProgramRun run = runImporter(dir, "big.xyz --out out.bxyz", "trap '' XFSZ; ulimit -f 8; ");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("fail"), std::string::npos) << run.err;
    EXPECT_EQ(readFile(dir.file("out.bxyz")), "previous");
    int32_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        files += entry.is_regular_file() ? 1 : 0;
    }
    EXPECT_EQ(files, 4);  // big.xyz, out.bxyz and the two logs: the temporary file is gone
}

}  // namespace
