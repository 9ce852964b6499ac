#include "tests/import/sample_files.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

// Faces (a list element) before the vertices, a colour between x and y, and an
// element after the vertices: everything but x, y and z must be stepped over.
std::string bigEndianWithFacesFirst()
{
    Bytes b;
    b.text("ply\nformat binary_big_endian 1.0\ncomment made by hand\nelement face 2\n"
           "property list uchar int vertex_indices\nelement vertex 2\nproperty float x\n"
           "property uchar red\nproperty double y\nproperty float32 z\nproperty list ushort float extra\n"
           "element edge 1\nproperty int vertex1\nend_header\n");
    b.be<uint8_t>(3).be<int32_t>(0).be<int32_t>(1).be<int32_t>(2);
    b.be<uint8_t>(0);
    b.be<float>(1.5f).be<uint8_t>(200).be<double>(-2.25).be<float>(1e5f).be<uint16_t>(2).be<float>(7).be<float>(8);
    b.be<float>(-0.5f).be<uint8_t>(0).be<double>(1e-3).be<float>(0.0f).be<uint16_t>(0);
    b.be<int32_t>(99);
    return b.data;
}

std::string littleEndianDoubles()
{
    Bytes b;
    b.text("ply\r\nformat binary_little_endian 1.0\r\nelement vertex 3\r\nproperty float64 z\r\n"
           "property float64 y\r\nproperty float64 x\r\nproperty int16 intensity\r\nend_header\r\n");
    b.le(3.0).le(2.0).le(1.0).le<int16_t>(-5);
    b.le(6.0).le(5.0).le(4.0).le<int16_t>(0);
    b.le(0.0).le(std::numeric_limits<double>::quiet_NaN()).le(9.0).le<int16_t>(1);
    return b.data;
}

TEST(PlyReader, ReadsVerticesWhereverTheyStand)
{
    struct Row {
        const char* name;
        std::string file;
        std::vector<Vec3> points;
        int64_t notFinite;
    };
    const Row rows[] = {
        {"binary big endian, faces first", bigEndianWithFacesFirst(), {{1.5, -2.25, 1e5}, {-0.5, 1e-3, 0.0}}, 0},
        {"binary little endian doubles, crlf header", littleEndianDoubles(), {{1, 2, 3}, {4, 5, 6}}, 1},
        {"ascii, faces first, lists and colour",
         "ply\nformat ascii 1.0\nelement face 2\nproperty list uchar int vertex_indices\n"
         "element vertex 2\nproperty uchar red\nproperty double x\nproperty double y\nproperty double z\n"
         "end_header\n3 0 1 2\n4 0 1 2 3\n255 1.25 -2 3e2\n0 +4 5 -6\n",
         {{1.25, -2, 300}, {4, 5, -6}},
         0},
        {"ascii, integer coordinates, a vertex over two lines",
         "ply\nformat ascii 1.0\nelement vertex 2\nproperty int x\nproperty int y\nproperty int z\nend_header\n"
         "1 2\n3\n-4 -5 -6\n",
         {{1, 2, 3}, {-4, -5, -6}},
         0},
        {"no vertices",
         "ply\nformat ascii 1.0\nelement vertex 0\nproperty float x\nproperty float y\n"
         "property float z\nend_header\n",
         {},
         0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CollectingSink sink;
        const ReadOutcome o = readSample("ply", row.file, sink);
        ASSERT_TRUE(o.ok) << o.error;
        EXPECT_EQ(sink.points, row.points);
        EXPECT_EQ(droppedFor(o, DropReason::NotFinite), row.notFinite);
        EXPECT_EQ(o.records, static_cast<int64_t>(row.points.size()) + row.notFinite);
    }
}

TEST(PlyReader, RefusesBrokenFiles)
{
    const std::string head = "ply\nformat binary_little_endian 1.0\nelement vertex 2\n"
                             "property float x\nproperty float y\nproperty float z\nend_header\n";
    const std::string twoVertices = head + std::string(24, '\0');
    struct Row {
        const char* name;
        std::string file;
        const char* says;
    };
    const Row rows[] = {
        {"no end_header", "ply\nformat ascii 1.0\nelement vertex 1\nproperty float x\n", "end_header"},
        {"no format line", "ply\nelement vertex 0\nend_header\n", "format"},
        {"unknown format", "ply\nformat binary_middle_endian 1.0\nend_header\n", "binary_middle_endian"},
        {"property before element", "ply\nformat ascii 1.0\nproperty float x\nend_header\n", "before any element"},
        {"unknown type", "ply\nformat ascii 1.0\nelement vertex 1\nproperty quad x\nend_header\n", "known types"},
        {"no vertex element", "ply\nformat ascii 1.0\nelement face 0\nend_header\n", "no vertex element"},
        {"no z", "ply\nformat ascii 1.0\nelement vertex 1\nproperty float x\nproperty float y\nend_header\n1 2\n",
         "x, y and z"},
        {"negative count", "ply\nformat ascii 1.0\nelement vertex -1\nend_header\n", "element"},
        {"vertex count beyond the file", head + std::string(23, '\0'), "cut short"},
        {"face count beyond the file",
         "ply\nformat binary_little_endian 1.0\nelement face 1000\nproperty list uchar int v\n"
         "element vertex 0\nproperty float x\nproperty float y\nproperty float z\nend_header\n"
             + std::string(999, '\0'),
         "cut short"},
        {"list longer than the file",
         "ply\nformat binary_little_endian 1.0\nelement face 1\nproperty list uint int v\n"
         "element vertex 0\nproperty float x\nproperty float y\nproperty float z\nend_header\n\xff\xff\xff\x00",
         "face"},
        {"ascii vertices end early",
         "ply\nformat ascii 1.0\nelement vertex 2\nproperty float x\nproperty float y\n"
         "property float z\nend_header\n1 2 3\n4 5\n",
         "vertex 2 of 2"},
        {"ascii coordinate not a number",
         "ply\nformat ascii 1.0\nelement vertex 1\nproperty float x\n"
         "property float y\nproperty float z\nend_header\n1 two 3\n",
         "not a number"},
    };
    CollectingSink control;
    EXPECT_TRUE(readSample("ply", twoVertices, control).ok);  // the rows below break this file
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CollectingSink sink;
        const ReadOutcome o = readSample("ply", row.file, sink);
        EXPECT_FALSE(o.ok);
        EXPECT_NE(o.error.find(row.says), std::string::npos) << o.error;
    }
}

}  // namespace
