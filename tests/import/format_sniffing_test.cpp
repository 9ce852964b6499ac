#include "tests/import/sample_files.h"

#include "import/format_sniffing.h"

#include <gtest/gtest.h>

namespace {

TEST(FormatSniffing, TellsTheFormatFromTheContent)
{
    LasSample las;
    las.points = {{1, 2, 3}};
    const std::string lasBytes = lasFile(las);
    std::string compressed = lasBytes;
    compressed[LAS_FORMAT_BYTE] = static_cast<char>(0x81);
    const std::string ptx = ptxScan(1, 1, {0, 0, 0}, ptxTranslation(0, 0, 0), {"1 2 3 0.5"});
    struct Row {
        const char* name;
        std::string bytes;
        PointFormat format;
        const char* says;  ///< in the refusal; "" when the file is read
    };
    const Row rows[] = {
        {"scan.las", lasBytes, PointFormat::Las, ""},
        {"scan.txt", lasBytes, PointFormat::Las, ""},
        {"scan.laz", lasBytes, PointFormat::Las, ""},
        {"scan.las", compressed, PointFormat::Laz, "compression bit"},
        {"scan.laz", "1 2 3\n", PointFormat::Unknown, "does not start with the LAS signature"},
        {"scan.e57", std::string("ASTM-E57\0\0\0\0", 12), PointFormat::E57, ""},
        {"noname.xyz", std::string("ASTM-E57\0\0\0\0", 12), PointFormat::E57, ""},
        {"scan.dat", "ply\nformat ascii 1.0\n", PointFormat::Ply, ""},
        {"scan.ply", "ply\r\nformat ascii 1.0\r\n", PointFormat::Ply, ""},
        {"scan.txt", ptx, PointFormat::Ptx, ""},
        {"scan.ptx", "1 2 3\n", PointFormat::Unknown, "PTX scan header"},
        {"scan.pts", "2\n1 2 3 4\n5 6 7 8\n", PointFormat::Xyz, ""},
        {"scan.ptx.BXYZ", ptx, PointFormat::Bxyz, "already a binary point file"},
        {"scan.csv", "x,y,z\n1,2,3\n", PointFormat::Xyz, ""},
        {"scan.xyz", "1 2\n3 4\n", PointFormat::Unknown, "not a point-cloud file"},
        {"scan.xyz", "hello\nworld\n", PointFormat::Unknown, "not a point-cloud file"},
        {"scan.xyz", std::string("1 2 3\n\0\0\0", 9), PointFormat::Unknown, "not a point-cloud file"},
        {"scan.xyz", "", PointFormat::Unknown, "empty"},
        {"scan.las", "LAS", PointFormat::Unknown, "not a point-cloud file"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name + std::string(" ") + std::string(pointFormatName(row.format)));
        MemorySource source(row.bytes.data(), row.bytes.size());
        const SniffResult r = sniffFormat(source, row.name);
        EXPECT_EQ(r.format, row.format);
        EXPECT_NE(r.refusal.find(row.says), std::string::npos) << r.refusal;
        EXPECT_EQ(r.refusal.empty(), row.says[0] == '\0');
        EXPECT_EQ(r.warning.empty(), row.format != PointFormat::Las || row.name != std::string("scan.laz"));
    }
}

}  // namespace
