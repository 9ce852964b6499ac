#include "tests/import/sample_files.h"

#include <gtest/gtest.h>

namespace {

// The stored integers of every sample; with scale 0.25 and the offsets below the
// coordinates are exact in binary, so they are compared with ==.
const std::vector<std::array<int32_t, 3>> STORED = {{4, -8, 12}, {-400, 0, 2147483647}};

TEST(LasReader, ReadsEveryVersionAndPointFormat)
{
    struct Row {
        const char* name;
        int minor;
        int format;
        int extraBytes;
        bool legacyCount;
        std::string vlrs;
        uint32_t vlrCount;
    };
    const Row rows[] = {
        {"1.0 format 0", 0, 0, 0, true, "", 0},
        {"1.2 format 1 after a variable-length record", 2, 1, 0, true, lasVlr("someone", 7, "abcdef"), 1},
        {"1.2 format 3 with extra bytes", 2, 3, 9, true, "", 0},
        {"1.3 format 4", 3, 4, 0, true, "", 0},
        {"1.3 format 5 with two records", 3, 5, 0, true, lasVlr("a", 1, "x") + lasVlr("b", 2, ""), 2},
        {"1.4 format 6, 64-bit count only", 4, 6, 0, false, "", 0},
        {"1.4 format 7, both counts", 4, 7, 0, true, "", 0},
        {"1.4 format 8 with extra bytes", 4, 8, 3, false, "", 0},
        {"1.4 format 9", 4, 9, 0, false, "", 0},
        {"1.4 format 10", 4, 10, 0, false, lasVlr("c", 3, std::string(100, 'v')), 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LasSample s;
        s.versionMinor = row.minor;
        s.format = row.format;
        s.extraBytes = row.extraBytes;
        s.legacyCount = row.legacyCount;
        s.vlrs = row.vlrs;
        s.vlrCount = row.vlrCount;
        s.points = STORED;
        s.scale[0] = s.scale[1] = s.scale[2] = 0.25;
        s.offset[0] = 500000.0;
        s.offset[1] = -4000000.0;
        s.offset[2] = 0.5;
        CollectingSink sink;
        const ReadOutcome o = readSample("las", lasFile(s), sink);
        ASSERT_TRUE(o.ok) << o.error;
        EXPECT_EQ(sink.expected, 2);
        EXPECT_EQ(o.records, 2);
        const std::vector<Vec3> expected = {{500001.0, -4000002.0, 3.5}, {499900.0, -4000000.0, 536870912.25}};
        EXPECT_EQ(sink.points, expected);
    }
}

TEST(LasReader, RefusesWhatItCannotReadFaithfully)
{
    LasSample base;
    base.points = STORED;
    const std::string good = lasFile(base);
    auto patched = [&good](std::size_t at, const std::string& bytes) {
        std::string file = good;
        file.replace(at, bytes.size(), bytes);
        return file;
    };
    LasSample laszip = base;
    laszip.vlrs = lasVlr("laszip encoded", 22204, std::string(34, '\0'));
    laszip.vlrCount = 1;
    LasSample zeroScale = base;
    zeroScale.scale[1] = 0.0;
    struct Row {
        const char* name;
        std::string file;
        const char* says;
    };
    const Row rows[] = {
        {"compression bit", patched(LAS_FORMAT_BYTE, "\x81"), "LAZ"},
        {"compression record", lasFile(laszip), "LAZ"},
        {"version 2.0", patched(24, std::string("\x02\x00", 2)), "version 2.0"},
        {"point format 11", patched(LAS_FORMAT_BYTE, "\x0b"), "format 11"},
        {"records shorter than the format", patched(105, std::string("\x13\x00", 2)), "too short"},
        {"count larger than the file", patched(107, std::string("\x00\x00\x01\x00", 4)), "cut short"},
        {"last record cut", good.substr(0, good.size() - 1), "cut short"},
        {"header cut short", good.substr(0, 200), "cut short"},
        {"point offset past the end", patched(LAS_POINT_OFFSET, std::string("\xff\xff\x00\x00", 4)), "offset"},
        {"point offset inside the header", patched(LAS_POINT_OFFSET, std::string("\x10\x00\x00\x00", 4)), "offset"},
        {"zero scale", lasFile(zeroScale), "scale"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CollectingSink sink;
        const ReadOutcome o = readSample("las", row.file, sink);
        EXPECT_FALSE(o.ok);
        EXPECT_NE(o.error.find(row.says), std::string::npos) << o.error;
        EXPECT_TRUE(sink.points.empty());
    }
}

}  // namespace
