#include "tests/import/sample_files.h"

#include "tools/import/format_sniffing.h"

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
        InputFormat format;
        const char* says;  ///< in the refusal; "" when the file is read
    };
    const Row rows[] = {
        {"scan.las", lasBytes, InputFormat::Las, ""},
        {"scan.txt", lasBytes, InputFormat::Las, ""},
        {"scan.laz", lasBytes, InputFormat::Laz, "convert it to uncompressed LAS or to PLY"},
        {"scan.las", compressed, InputFormat::Laz, "compression bit"},
        {"scan.laz", "1 2 3\n", InputFormat::Unknown, "does not start with the LAS signature"},
        {"scan.e57", std::string("ASTM-E57\0\0\0\0", 12), InputFormat::E57, "export the scan to PLY"},
        {"noname", std::string("ASTM-E57\0\0\0\0", 12), InputFormat::E57, "E57"},
        {"scan.dat", "ply\nformat ascii 1.0\n", InputFormat::Ply, ""},
        {"scan.ply", "ply\r\nformat ascii 1.0\r\n", InputFormat::Ply, ""},
        {"scan.txt", ptx, InputFormat::Ptx, ""},
        {"scan.ptx", "1 2 3\n", InputFormat::Unknown, "PTX scan header"},
        {"scan.pts", "2\n1 2 3 4\n5 6 7 8\n", InputFormat::Xyz, ""},
        {"scan.ptx.BXYZ", ptx, InputFormat::Bxyz, "already a binary point file"},
        {"scan.csv", "x,y,z\n1,2,3\n", InputFormat::Xyz, ""},
        {"scan.xyz", "1 2\n3 4\n", InputFormat::Unknown, "not a point-cloud file"},
        {"scan.xyz", "hello\nworld\n", InputFormat::Unknown, "not a point-cloud file"},
        {"scan.xyz", std::string("1 2 3\n\0\0\0", 9), InputFormat::Unknown, "not a point-cloud file"},
        {"scan.xyz", "", InputFormat::Unknown, "empty"},
        {"scan.las", "LAS", InputFormat::Unknown, "not a point-cloud file"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name + std::string(" ") + std::string(formatName(row.format)));
        MemorySource source(row.bytes.data(), row.bytes.size());
        const SniffResult r = sniffFormat(source, row.name);
        EXPECT_EQ(r.format, row.format);
        EXPECT_NE(r.refusal.find(row.says), std::string::npos) << r.refusal;
        EXPECT_EQ(r.refusal.empty(), row.says[0] == '\0');
    }
}

}  // namespace
