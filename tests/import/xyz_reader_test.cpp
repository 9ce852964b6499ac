#include "tests/import/sample_files.h"

#include <gtest/gtest.h>

namespace {

TEST(XyzReader, ReadsTheUsualLayoutsOfPointText)
{
    const std::vector<Vec3> three = {{1, 2, 3}, {-4.5, 5e-1, 6e2}, {7, 8, 9}};
    struct Row {
        const char* name;
        std::string text;
    };
    const Row rows[] = {
        {"blanks", "1 2 3\n-4.5 5e-1 6e2\n7 8 9\n"},
        {"tabs and several blanks", "1\t2\t3\n  -4.5   5e-1\t 6e2  \n7 8 9"},
        {"commas, spaces after them", "1,2,3\n-4.5, 5e-1, 6e2\n7,8,9\n"},
        {"semicolons, CRLF", "1;2;3\r\n-4.5;5e-1;6e2\r\n7;8;9\r\n"},
        {"extra columns", "1 2 3 255 0 0\n-4.5 5e-1 6e2 0.3\n7 8 9 text after\n"},
        {"PTS count line", "3\n1 2 3 10 1 2 3\n-4.5 5e-1 6e2 11 4 5 6\n7 8 9 12 7 8 9\n"},
        {"comments and blank lines", "# scan\n\n// exported\n1 2 3\n% note\n\n-4.5 5e-1 6e2\n   \n7 8 9\n"},
        {"column names", "X,Y,Z,Intensity\n1,2,3,4\n-4.5,5e-1,6e2,4\n7,8,9,4\n"},
        {"byte order mark",
         "\xEF\xBB\xBF"
         "1 2 3\n-4.5 5e-1 6e2\n+7 +8 +9\n"},
        {"two PTS blocks", "1\n1 2 3\n2\n-4.5 5e-1 6e2\n7 8 9\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CollectingSink sink;
        const ReadOutcome o = readSample("xyz", row.text, sink);
        ASSERT_TRUE(o.ok) << o.error;
        EXPECT_EQ(sink.points, three);
        EXPECT_EQ(o.records, 3);
        EXPECT_EQ(o.note, "");
    }
}

TEST(XyzReader, CountsWhatItDrops)
{
    const std::string text = "4\n1 2 3\n1 2\nx y z\n1 2 nan\n1e999 0 0\n5 6 7\n";
    CollectingSink sink;
    const ReadOutcome o = readSample("xyz", text, sink);
    ASSERT_TRUE(o.ok);
    EXPECT_EQ(sink.points, (std::vector<Vec3>{{1, 2, 3}, {5, 6, 7}}));
    EXPECT_EQ(o.records, 6);
    EXPECT_EQ(droppedFor(o, DropReason::Unreadable), 3);  // "1 2", "x y z", and 1e999 beyond a double
    EXPECT_EQ(droppedFor(o, DropReason::NotFinite), 1);
    EXPECT_NE(o.note.find("announce 4 points"), std::string::npos) << o.note;
}

TEST(XyzReader, RefusesLinesTooLongForPointText)
{
    CollectingSink sink;
    const ReadOutcome o = readSample("xyz", "1 2 3\n" + std::string(2 << 20, '7') + "\n", sink);
    EXPECT_FALSE(o.ok);
    EXPECT_NE(o.error.find("line 2"), std::string::npos) << o.error;
}

}  // namespace
