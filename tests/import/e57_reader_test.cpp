// E57 files written by the example generator's writer, read back by the importer.
#include "tests/fuzz/import_feeds.h"
#include "tests/import/sample_files.h"

#include "import/byte_source.h"
#include "import/crc32c.h"
#include "import/e57_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

// A no-return cell (0 0 0), fractions of every size, and a spread of 2500 more, so that
// the scan takes three data packets.
std::vector<Vec3> scannerPoints(bool withNaN)
{
    std::vector<Vec3> p = {{1.25, -2.5, 0.75}, {0.0, 0.0, 0.0}, {10.0625, 3.5, -1.125}};
    if (withNaN) {
        p.push_back({std::numeric_limits<double>::quiet_NaN(), 1.0, 1.0});
    }
    for (int i = 0; i < 2500; ++i) {
        p.push_back({5.0 + std::fmod(i * 0.7234567, 40.0), -20.0 + std::fmod(i * 1.3456789, 40.0),
                     -2.0 + std::fmod(i * 0.0123457, 15.0)});
    }
    return p;
}

E57ScanPose pose(const char* name, double a1, double a2, double a3, const Vec3& t)
{
    E57ScanPose p;
    p.name = name;
    rotationOf(a1, a2, a3, p.rotation);
    for (int k = 0; k < 3; ++k) {
        p.translation[k] = t[k];
    }
    return p;
}

Vec3 placed(const E57ScanPose& pose, const Vec3& v)
{
    const double* r = pose.rotation;
    return {r[0] * v[0] + r[1] * v[1] + r[2] * v[2] + pose.translation[0],
            r[3] * v[0] + r[4] * v[1] + r[5] * v[2] + pose.translation[1],
            r[6] * v[0] + r[7] * v[1] + r[8] * v[2] + pose.translation[2]};
}

TEST(E57Reader, ReadsEveryLayoutOfTwoScansWithTheirPoses)
{
    struct Row {
        const char* name;
        E57Number number;
        bool spherical;
        bool invalidState;
        double tolerance;  ///< metres, of the stored coordinates
    };
    const Row rows[] = {
        {"scaled integers", E57Number::ScaledInteger, false, true, 0.5e-4 + 1e-9},
        {"single floats", E57Number::Single, false, true, 1e-5},
        {"double floats", E57Number::Double, false, true, 0.0},
        {"spherical doubles", E57Number::Double, true, true, 1e-12},
        {"spherical scaled integers, no invalid state", E57Number::ScaledInteger, true, false, 1e-4},
    };
    const E57ScanPose poses[2] = {pose("North face", 0.0, 0.0, 0.3, {475000.0, 3640000.0, 3.0}),
                                  pose("South", 0.01, -0.02, 2.0, {475100.5, 3640200.25, 12.0})};
    for (const Row& row : rows) {
        const bool withNaN = row.number != E57Number::ScaledInteger;
        const std::vector<Vec3> points = scannerPoints(withNaN);
        std::vector<E57Sample> scans(2);
        for (int s = 0; s < 2; ++s) {
            scans[s].pose = poses[s];
            scans[s].layout.number = row.number;
            scans[s].layout.spherical = row.spherical;
            scans[s].layout.invalidState = row.invalidState;
            scans[s].points = scanPoints(points);
        }
        const std::string file = e57File(scans);
        for (int32_t scan = 1; scan <= 2; ++scan) {
            for (bool applyPose : {false, true}) {
                SCOPED_TRACE(std::string(row.name) + ", scan " + std::to_string(scan) + (applyPose ? ", posed" : ""));
                const E57ScanPose& p = poses[scan - 1];
                MemorySource source(file.data(), file.size());
                CollectingSink sink;
                E57Contents contents;
                const ReadOutcome o = readE57(source, {scan, applyPose}, sink, contents);
                ASSERT_TRUE(o.ok) << o.error;
                ASSERT_EQ(contents.scans.size(), 2u);
                EXPECT_EQ(contents.scans[scan - 1].name, p.name);
                EXPECT_EQ(sink.expected, static_cast<int64_t>(points.size()));
                EXPECT_EQ(o.records, static_cast<int64_t>(points.size()));
                EXPECT_EQ(droppedFor(o, DropReason::MarkedInvalid), row.invalidState ? 1 : 0);
                EXPECT_EQ(droppedFor(o, DropReason::NotFinite), withNaN ? 1 : 0);
                const Vec3 scanner =
                    applyPose ? Vec3{p.translation[0], p.translation[1], p.translation[2]} : Vec3{0, 0, 0};
                EXPECT_EQ(sink.scanner, scanner);
                std::vector<Vec3> expected;
                for (const Vec3& v : points) {
                    const bool dropped = (row.invalidState && v == Vec3{0.0, 0.0, 0.0}) || std::isnan(v[0]);
                    if (!dropped) {
                        expected.push_back(applyPose ? placed(p, v) : v);
                    }
                }
                ASSERT_EQ(sink.points.size(), expected.size());
                for (std::size_t i = 0; i < expected.size(); ++i) {
                    for (int k = 0; k < 3; ++k) {
                        // A turn mixes the rounding of the three axes.
                        ASSERT_NEAR(sink.points[i][k], expected[i][k],
                                    applyPose ? 1.75 * row.tolerance + 1e-9 : row.tolerance)
                            << "point " << i << " axis " << k;
                    }
                }
            }
        }
    }
}

// Integers of 0 (a constant), 2, 3, 12, 25, 48 and 58 bits, in several packets, so that
// values start at every bit of a byte and the widest reach into a ninth byte; packed 1024
// records a packet, and 333 after an index and an empty packet, so that values run on
// from one packet into the next. A constant takes no bytes, and a scan may not announce
// more records than 8 per byte of its data: that scan is kept small.
TEST(E57Reader, UnpacksIntegersOfEveryWidth)
{
    struct Row {
        double scale;
        double reach;
    };
    const Row rows[] = {{1.0, 0.0}, {1.0, 1.0}, {1.0, 3.0}, {0.5, 1000.0}, {1e-4, 1000.0}, {1e-6, 1e8}, {1.0, 1.5e17}};
    for (const Row& row : rows) {
        std::vector<Vec3> points;
        const double steps = std::floor(row.reach / row.scale);
        for (int i = 0; i < (row.reach == 0.0 ? 300 : 3000); ++i) {
            Vec3 v;
            for (int k = 0; k < 3; ++k) {
                const double share = std::fmod((i * 3 + k) * 0.6180339887, 1.0) * 2.0 - 1.0;
                v[k] = std::round(share * steps) * row.scale;
            }
            points.push_back(v);
        }
        for (std::size_t perPacket : {1024u, 333u}) {
            SCOPED_TRACE("scale " + std::to_string(row.scale) + ", reach " + std::to_string(row.reach) + ", "
                         + std::to_string(perPacket) + " records a packet");
            E57Sample scan;
            scan.layout.scale = row.scale;
            scan.layout.reach = row.reach;
            scan.layout.recordsPerPacket = perPacket;
            scan.layout.leadingPackets = perPacket != 1024;
            scan.points = scanPoints(points);
            CollectingSink sink;
            const ReadOutcome o = readSample("e57", e57File({scan}), sink);
            ASSERT_TRUE(o.ok) << o.error;
            EXPECT_EQ(sink.points, points);
        }
    }
}

TEST(E57Reader, RefusesDamagedAndIncompleteFiles)
{
    E57Sample scan;
    scan.pose.name = "S1";
    scan.points = scanPoints(scannerPoints(false));
    const std::string good = e57File({scan});
    // The XML edited in place, the same length, with every page's checksum mended.
    auto edited = [&good](const std::string& from, const std::string& to) {
        std::string file = good;
        const std::size_t at = file.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        file.replace(at, from.size(), to);
        mendE57Checksums(reinterpret_cast<unsigned char*>(file.data()), file.size());
        return file;
    };
    E57Sample empty;
    struct Row {
        const char* name;
        std::string file;
        int32_t scan;
        const char* says;
    };
    const Row rows[] = {
        {"no E57 signature", edited("ASTM-E57", "ASTM-E58"), 1, "does not start with the E57 signature"},
        {"damaged page", e57File({scan}, 2), 1, "the page at file offset 2048 has a bad checksum (CRC-32C)"},
        {"cut short", good.substr(0, good.size() - 1024), 1, "cut short"},
        {"less than a page", good.substr(0, 700), 1, "cut short"},
        {"XML that does not parse", edited("</e57Root>", "</e57Rooo>"), 1, "the XML section does not parse"},
        {"no coordinates", edited("cartesianY", "cartesianQ"), 1, "have no coordinates"},
        {"no points", e57File({empty}), 1, "holds no points"},
        {"no such scan", good, 2, "there is no scan 2: the file holds 1"},
        {"more records than the data holds", edited("recordCount=\"2503\"", "recordCount=\"9503\""), 1,
         "the points end after 2503 of their 9503 records"},
        {"points placed in the XML section", edited("fileOffset=\"48\"", "fileOffset=\"99\""), 1,
         "no compressed-vector section"},
        {"a pose that is no number", edited("<w type=\"Float\">1</w>", "<w type=\"Float\">x</w>"), 1,
         "scan 1 (S1) cannot be read: its pose is not a rotation quaternion"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MemorySource source(row.file.data(), row.file.size());
        CollectingSink sink;
        E57Contents contents;
        const ReadOutcome o = readE57(source, {row.scan, false}, sink, contents);
        EXPECT_FALSE(o.ok);
        EXPECT_NE(o.error.find(row.says), std::string::npos) << o.error;
    }
}

TEST(Crc32c, ProcessorInstructionAgreesWithTheTables)
{
    std::vector<unsigned char> page(1020);
    for (std::size_t i = 0; i < page.size(); ++i) {
        page[i] = static_cast<unsigned char>((i * 7919u) >> 3);
    }
    const unsigned char check[] = "123456789";
    EXPECT_EQ(crc32cByTables(check, 9), 0xE3069283u);
    EXPECT_EQ(crc32c(check, 9), 0xE3069283u);
    for (std::size_t size : {0u, 1u, 7u, 8u, 9u, 1020u}) {
        EXPECT_EQ(crc32c(page.data(), size), crc32cByTables(page.data(), size)) << size;
    }
}

}  // namespace
