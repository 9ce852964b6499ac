// The PLY and LAS files of the example survey, read back by the importer's own readers,
// and the default survey unchanged by the formats option.

#include "tests/import/sample_files.h"

#include "import/byte_source.h"
#include "import/e57_reader.h"
#include "tests/tools/survey_reading.h"
#include "tools/scan_file_writer.h"
#include "tools/survey_generator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <iterator>

namespace {

constexpr double LAS_HALF_STEP = 0.5 * LAS_SCALE + 1e-9;

std::vector<Point3> readBack(const std::string& path, PointFormat format)
{
    CollectingSink sink;
    const ReadOutcome o = readSample(scanFormatName(format), readFile(path), sink);
    EXPECT_TRUE(o.ok) << o.error;
    return sink.points;
}

void expectSamePoints(const std::vector<Point3>& read, const std::vector<Point3>& written, double tolerance)
{
    ASSERT_EQ(read.size(), written.size());
    for (size_t i = 0; i < read.size(); ++i) {
        for (int32_t k = 0; k < 3; ++k) {
            ASSERT_LE(std::fabs(read[i][k] - written[i][k]), tolerance) << "point " << i << " axis " << k;
        }
    }
}

// Points up to 150 m either side of `first`, the first of them, with fractions of every size.
std::vector<ScanPoint> scatter(int32_t count, const Point3& first)
{
    std::vector<ScanPoint> points(count);
    for (int32_t i = 1; i < count; ++i) {
        points[i].x = std::fmod(i * 0.7234567891, 300.0) - 150.0;
        points[i].y = std::fmod(i * 1.3456789123, 200.0) - 100.0;
        points[i].z = std::fmod(i * 0.0123456789, 60.0) - 5.0;
    }
    for (ScanPoint& p : points) {
        p.x += first[0];
        p.y += first[1];
        p.z += first[2];
    }
    return points;
}

bool writeInBlocks(const std::string& path, PointFormat format, const std::vector<ScanPoint>& points)
{
    ScanFileWriter writer;
    bool ok = writer.open(path, format);
    for (size_t at = 0; ok && at < points.size(); at += 7001) {
        ok = writer.append({points.begin() + at, points.begin() + std::min(points.size(), at + 7001)});
    }
    return writer.finish() && ok;
}

}  // namespace

TEST(ScanFileWriter, ImportersReadBackThePointsWritten)
{
    ScanPoint extreme;
    extreme.x = -0.0;
    extreme.y = 1e-300;
    extreme.z = 1.7976931348623157e308;
    struct Row {
        const char* name;
        PointFormat format;
        std::vector<ScanPoint> points;
    };
    const Row rows[] = {
        {"PLY without points", PointFormat::Ply, {}},
        {"PLY, extreme doubles", PointFormat::Ply, {extreme}},
        {"PLY, 3 MB in blocks", PointFormat::Ply, scatter(130000, {12.5, -3.25, 1.0})},
        {"LAS without points", PointFormat::Las, {}},
        {"LAS, 3 MB in blocks", PointFormat::Las, scatter(100000, {-37.84, 21.06, -1.55})},
        {"LAS, far from its frame's origin", PointFormat::Las, scatter(5000, {475123.45678, 3640987.6543, 12.3})},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        TempDir dir;
        ASSERT_TRUE(writeInBlocks(dir.file("scan"), r.format, r.points));
        std::vector<Point3> written;
        for (const ScanPoint& p : r.points) {
            written.push_back({p.x, p.y, p.z});
        }
        expectSamePoints(readBack(dir.file("scan"), r.format), written,
                         r.format == PointFormat::Las ? LAS_HALF_STEP : 0.0);
    }
}

// Readers other than ours take the count and the extent from the header alone.
TEST(ScanFileWriter, LasHeaderGivesCountAndExtent)
{
    TempDir dir;
    ASSERT_TRUE(writeInBlocks(dir.file("scan.las"), PointFormat::Las, scatter(20000, {8.7, -64.2, 3.3})));
    const std::vector<Point3> read = readBack(dir.file("scan.las"), PointFormat::Las);
    const std::string h = readFile(dir.file("scan.las"));
    double extent[6];  // max x, min x, max y, min y, max z, min z
    uint64_t count = 0;
    std::memcpy(extent, h.data() + 179, sizeof extent);  // the test machine is little-endian
    std::memcpy(&count, h.data() + 247, sizeof count);
    EXPECT_EQ(count, 20000u);
    for (int32_t k = 0; k < 3; ++k) {
        const auto [lo, hi] = std::minmax_element(read.begin(), read.end(),
                                                  [k](const Point3& a, const Point3& b) { return a[k] < b[k]; });
        EXPECT_EQ(extent[2 * k], (*hi)[k]) << "axis " << k;
        EXPECT_EQ(extent[2 * k + 1], (*lo)[k]) << "axis " << k;
    }
}

TEST(ScanFileWriter, LasRefusesAPointBeyondItsIntegers)
{
    TempDir dir;
    std::vector<ScanPoint> points = scatter(3, {0.0, 0.0, 0.0});
    points[2].y = 214749.0;  // 0.1 mm steps from the first point overflow 32 bits
    EXPECT_FALSE(writeInBlocks(dir.file("scan.las"), PointFormat::Las, points));
}

namespace {

// The default survey of surveyOptions() as it was written before the PLY and LAS writers
// existed (FNV-1a 64 of each file): scripts, tests and benchmarks are built on these bytes.
struct FileHash {
    const char* name;
    uint64_t hash;
};
const FileHash DEFAULT_FILES[] = {
    {"README.txt", 0x9eaba7840b77da81ull},
    {"ipcreg.txt", 0x6c41806fdb51edb4ull},
    {"survey.csv", 0x0fc1272a4feaba88ull},
    {"survey_001_001_S1.bxyz", 0xc8c14d3842137feaull},
    {"survey_002_002_S2.bxyz", 0xd66ecd54dfe8f93aull},
    {"survey_003_003_S3.bxyz", 0x5ae2689b18f63260ull},
    {"truth.csv", 0x1c24d1750147bdf2ull},
};

uint64_t fnv1a(const std::string& bytes)
{
    uint64_t h = 0xcbf29ce484222325ull;
    for (unsigned char c : bytes) {
        h = (h ^ c) * 0x100000001b3ull;
    }
    return h;
}

ExampleSurveyOptions surveyOptions(const std::string& dir, std::vector<PointFormat> formats)
{
    ExampleSurveyOptions o;
    o.outDir = dir;
    o.scans = 3;
    o.points = 3000;
    o.quiet = true;
    o.formats = std::move(formats);
    return o;
}

std::vector<std::string> fileNames(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

// The exported scans hold the points of the .bxyz files (to half a LAS step), and no
// .bxyz is written unless asked for.
TEST(ExampleSurveyFormats, DefaultKeepsItsBytesAndExportsHoldTheSamePoints)
{
    TempDir dir;
    ASSERT_TRUE(generateExampleSurvey(surveyOptions(dir.file("default"), {PointFormat::Bxyz})));
    ASSERT_EQ(fileNames(dir.file("default")).size(), std::size(DEFAULT_FILES));
    for (const FileHash& f : DEFAULT_FILES) {
        EXPECT_EQ(fnv1a(readFile(dir.file("default/") + f.name)), f.hash) << f.name;
    }
    // Given in this order, LAS comes first; the E57 file holds the whole survey.
    ASSERT_TRUE(generateExampleSurvey(
        surveyOptions(dir.file("exported"), {PointFormat::Las, PointFormat::E57, PointFormat::Ply})));
    const std::vector<std::string> expected = {"README.txt", "S1.las",     "S2.ply",     "S3.las",
                                               "ipcreg.txt", "survey.csv", "survey.e57", "truth.csv"};
    ASSERT_EQ(fileNames(dir.file("exported")), expected);
    for (const char* table : {"ipcreg.txt", "survey.csv", "truth.csv"}) {
        EXPECT_EQ(readFile(dir.file("exported/") + table), readFile(dir.file("default/") + table)) << table;
    }
    for (int32_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(expected[1 + i]);
        const PointFormat format = i == 1 ? PointFormat::Ply : PointFormat::Las;
        const std::vector<Point3> points = readPointFile(dir.file("default/") + DEFAULT_FILES[3 + i].name);
        expectSamePoints(readBack(dir.file("exported/") + expected[1 + i], format), points,
                         format == PointFormat::Las ? LAS_HALF_STEP : 0.0);
        // Each E57 scan in its scanner's frame, placed by the pose of its database record.
        const std::string e57 = readFile(dir.file("exported/survey.e57"));
        MemorySource source(e57.data(), e57.size());
        E57Contents contents;
        std::string error;
        ASSERT_TRUE(openE57(source, contents, error)) << error;
        CollectingSink sink;
        ASSERT_TRUE(readE57Scan(source, contents, i + 1, false, sink).ok);
        expectSamePoints(sink.points, points, LAS_HALF_STEP);
        const std::vector<DatabaseRecord> db = readDatabase(dir.file("exported/survey.csv"));
        const E57Scan& scan = contents.scans[static_cast<size_t>(i)];
        EXPECT_EQ(scan.name, db[static_cast<size_t>(i)].name);
        const std::vector<Point3> placed =
            toSurveyFrame({{1.0, 2.0, 3.0}}, db[static_cast<size_t>(i)], db[static_cast<size_t>(i)].a3, 0.0, 0.0);
        for (int32_t k = 0; k < 3; ++k) {
            const double* r = scan.rotation[k];
            EXPECT_NEAR(r[0] * 1.0 + r[1] * 2.0 + r[2] * 3.0 + scan.translation[k], placed[0][k], 1e-6) << k;
        }
    }
}
