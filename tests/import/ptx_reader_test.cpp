#include "tests/import/sample_files.h"

#include "import/byte_source.h"
#include "import/ptx_reader.h"

#include <gtest/gtest.h>

namespace {

// Scan 1: a 2 x 2 grid with one cell without return, in CRLF lines with blank lines
// between; scan 2: a 3 x 1 grid whose transform turns 90 degrees about z and moves.
std::string twoScanFile()
{
    std::string first = ptxScan(2, 2, {10, 20, 30}, ptxTranslation(10, 20, 30),
                                {"1 2 3 0.5", "0 0 0 0", "", "-1 -2 -3 0.25 10 20 30", "4 5 6"});
    std::string crlf;
    for (char c : first) {
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    const std::array<std::array<double, 4>, 4> turn = {{{0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 1, 0}, {100, 200, 0, 1}}};
    return crlf + "\n" + ptxScan(3, 1, {100, 200, 0}, turn, {"1 0 0 0.1", "0 2 0 0.1", "bad line"});
}

TEST(PtxReader, ReadsTheChosenScanOfSeveral)
{
    struct Row {
        const char* name;
        PtxChoice choice;
        std::vector<Vec3> points;
        Vec3 scanner;
        int64_t noReturn;
        int64_t unreadable;
    };
    const Row rows[] = {
        {"scan 1 in its own frame", {1, false}, {{1, 2, 3}, {-1, -2, -3}, {4, 5, 6}}, {0, 0, 0}, 1, 0},
        {"scan 1 moved", {1, true}, {{11, 22, 33}, {9, 18, 27}, {14, 25, 36}}, {10, 20, 30}, 1, 0},
        {"scan 2 in its own frame", {2, false}, {{1, 0, 0}, {0, 2, 0}}, {0, 0, 0}, 0, 1},
        {"scan 2 turned and moved", {2, true}, {{100, 201, 0}, {98, 200, 0}}, {100, 200, 0}, 0, 1},
    };
    const std::string file = twoScanFile();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MemorySource source(file.data(), file.size());
        CollectingSink sink;
        PtxScanInfo info;
        const ReadOutcome o = readPtx(source, row.choice, sink, info);
        ASSERT_TRUE(o.ok) << o.error;
        EXPECT_EQ(sink.points, row.points);
        EXPECT_EQ(sink.scanner, row.scanner);
        EXPECT_EQ(droppedFor(o, DropReason::NoReturn), row.noReturn);
        EXPECT_EQ(droppedFor(o, DropReason::Unreadable), row.unreadable);
        EXPECT_EQ(info.scansFound, 2);
        EXPECT_EQ(info.pose.scanner[0], row.choice.scan == 1 ? 10.0 : 100.0);
        EXPECT_EQ(o.note, "");
    }
}

TEST(PtxReader, TransformWithTranslationInTheLastColumn)
{
    const std::array<std::array<double, 4>, 4> columnWise = {{{0, -1, 0, 5}, {1, 0, 0, 6}, {0, 0, 1, 7}, {0, 0, 0, 1}}};
    const std::string file = ptxScan(1, 1, {5, 6, 7}, columnWise, {"1 0 0 0.5"});
    MemorySource source(file.data(), file.size());
    CollectingSink sink;
    PtxScanInfo info;
    ASSERT_TRUE(readPtx(source, {1, true}, sink, info).ok);
    EXPECT_EQ(sink.points, (std::vector<Vec3>{{5, 7, 7}}));
}

TEST(PtxReader, RefusesMissingScansAndShortGrids)
{
    const std::string one = ptxScan(2, 1, {0, 0, 0}, ptxTranslation(0, 0, 0), {"1 1 1 0", "2 2 2 0"});
    std::string badAxis = one;
    badAxis.replace(badAxis.find("0 1 0\n"), 6, "0 1\n");
    const std::array<std::array<double, 4>, 4> projective = {{{1, 0, 0, 1}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 5, 1}}};
    struct Row {
        const char* name;
        std::string file;
        PtxChoice choice;
        const char* says;
    };
    const Row rows[] = {
        {"scan 2 of a one-scan file", one, {2, false}, "no scan 2: the file holds 1"},
        {"grid cut short", one.substr(0, one.size() - 8), {1, false}, "after 1 of its 2 point lines"},
        {"earlier scan cut short", one.substr(0, one.size() - 8), {2, false}, "scan 1 is cut short"},
        {"axis line of two numbers", badAxis, {1, false}, "line 5 should hold the scanner y axis"},
        {"grid larger than the file",
         ptxScan(1000, 1000, {0, 0, 0}, ptxTranslation(0, 0, 0), {}),
         {1, false},
         "more than the rest of the file"},
        {"transform not affine", ptxScan(1, 1, {0, 0, 0}, projective, {"1 1 1"}), {1, true}, "not an affine"},
        {"blank file", "\n\n", {1, false}, "no PTX scan"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MemorySource source(row.file.data(), row.file.size());
        CollectingSink sink;
        PtxScanInfo info;
        const ReadOutcome o = readPtx(source, row.choice, sink, info);
        EXPECT_FALSE(o.ok);
        EXPECT_NE(o.error.find(row.says), std::string::npos) << o.error;
    }
}

}  // namespace
