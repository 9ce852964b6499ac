#include "tests/import/sample_files.h"

#include "import/byte_source.h"
#include "import/e57_reader.h"
#include "import/las_reader.h"
#include "import/ply_reader.h"
#include "import/ptx_reader.h"
#include "import/xyz_reader.h"

#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>

#ifndef TAVRIN_IMPORT
#define TAVRIN_IMPORT ""
#endif

namespace {

const uint16_t LAS_RECORD_BYTES[] = {20, 28, 26, 34, 57, 63, 30, 36, 38, 59, 67};

std::string numbers(const double* v, int n)
{
    std::string line;
    char text[64];
    for (int k = 0; k < n; ++k) {
        std::snprintf(text, sizeof text, "%s%.17g", k == 0 ? "" : " ", v[k]);
        line += text;
    }
    return line + "\n";
}

}  // namespace

std::string lasFile(const LasSample& s)
{
    const uint16_t headerSize = s.versionMinor == 4 ? 375 : s.versionMinor == 3 ? 235 : 227;
    const uint16_t recordLength = static_cast<uint16_t>(LAS_RECORD_BYTES[s.format] + s.extraBytes);
    const uint64_t count = s.points.size();
    Bytes h;
    h.text("LASF").zeros(20).le<uint8_t>(1).le<uint8_t>(static_cast<uint8_t>(s.versionMinor)).zeros(68);
    h.le<uint16_t>(headerSize).le<uint32_t>(static_cast<uint32_t>(headerSize + s.vlrs.size())).le(s.vlrCount);
    h.le<uint8_t>(static_cast<uint8_t>(s.format)).le(recordLength);
    h.le<uint32_t>(s.legacyCount ? static_cast<uint32_t>(count) : 0).zeros(20);
    for (double v : s.scale)
        h.le(v);
    for (double v : s.offset)
        h.le(v);
    h.zeros(48);  // extent, unused by the reader
    if (s.versionMinor >= 3)
        h.zeros(8);
    if (s.versionMinor >= 4)
        h.zeros(12).le(count).zeros(120);
    EXPECT_EQ(h.data.size(), headerSize);
    h.text(s.vlrs);
    for (const auto& p : s.points) {
        h.le(p[0]).le(p[1]).le(p[2]).zeros(recordLength - 12u);
    }
    return h.data;
}

std::string lasVlr(const std::string& userId, uint16_t recordId, const std::string& payload)
{
    Bytes v;
    v.zeros(2).text(userId).zeros(16 - userId.size()).le(recordId).le(static_cast<uint16_t>(payload.size()));
    return v.zeros(32).text(payload).data;
}

std::string ptxScan(int columns, int rows, const Vec3& position, const std::array<std::array<double, 4>, 4>& transform,
                    const std::vector<std::string>& pointLines)
{
    std::string text = std::to_string(columns) + "\n" + std::to_string(rows) + "\n" + numbers(position.data(), 3);
    text += "1 0 0\n0 1 0\n0 0 1\n";
    for (const auto& row : transform) {
        text += numbers(row.data(), 4);
    }
    for (const std::string& line : pointLines) {
        text += line + "\n";
    }
    return text;
}

std::array<std::array<double, 4>, 4> ptxTranslation(double x, double y, double z)
{
    return {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {x, y, z, 1}}};
}

std::vector<Vec3> bxyzPoints(const std::string& bytes)
{
    EXPECT_EQ(bytes.size() % 32, 0u);
    std::vector<Vec3> points;
    for (std::size_t at = 0; at + 32 <= bytes.size(); at += 32) {
        Vec3 p;
        std::memcpy(p.data(), bytes.data() + at, 24);
        points.push_back(p);
        EXPECT_EQ(bytes.substr(at + 24, 8), std::string(8, '\0'));
    }
    return points;
}

ReadOutcome readSample(const char* format, const std::string& bytes, CollectingSink& sink)
{
    MemorySource source(bytes.data(), bytes.size());
    const std::string f = format;
    if (f == "las")
        return readLas(source, sink);
    if (f == "ply")
        return readPly(source, sink);
    if (f == "xyz")
        return readXyz(source, sink);
    if (f == "e57") {
        E57Contents contents;
        return readE57(source, E57Choice(), sink, contents);
    }
    PtxScanInfo info;
    return readPtx(source, PtxChoice(), sink, info);
}

int64_t droppedFor(const ReadOutcome& outcome, DropReason reason)
{
    return outcome.dropped[static_cast<std::size_t>(reason)];
}

std::string e57File(const std::vector<E57Sample>& scans, int64_t damagedPage)
{
    TempDir dir;
    E57FileWriter writer;
    EXPECT_TRUE(writer.open(dir.file("sample.e57")));
    writer.damagePage(damagedPage);
    for (const E57Sample& scan : scans) {
        EXPECT_TRUE(writer.beginScan(scan.pose, scan.layout));
        EXPECT_TRUE(writer.append(scan.points));
        EXPECT_TRUE(writer.endScan());
    }
    EXPECT_TRUE(writer.finish());
    return readFile(dir.file("sample.e57"));
}

std::vector<ScanPoint> scanPoints(const std::vector<Vec3>& points)
{
    std::vector<ScanPoint> out(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        out[i].x = points[i][0];
        out[i].y = points[i][1];
        out[i].z = points[i][2];
    }
    return out;
}

void rotationOf(double a1, double a2, double a3, double* m)
{
    const double rx[9] = {1, 0, 0, 0, std::cos(a1), -std::sin(a1), 0, std::sin(a1), std::cos(a1)};
    const double ry[9] = {std::cos(a2), 0, std::sin(a2), 0, 1, 0, -std::sin(a2), 0, std::cos(a2)};
    const double rz[9] = {std::cos(a3), -std::sin(a3), 0, std::sin(a3), std::cos(a3), 0, 0, 0, 1};
    double zy[9];
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            zy[3 * r + c] = rz[3 * r] * ry[c] + rz[3 * r + 1] * ry[3 + c] + rz[3 * r + 2] * ry[6 + c];
        }
    }
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            m[3 * r + c] = zy[3 * r] * rx[c] + zy[3 * r + 1] * rx[3 + c] + zy[3 * r + 2] * rx[6 + c];
        }
    }
}

ProgramRun runImporter(const TempDir& dir, const std::string& arguments, const std::string& prefix)
{
    const std::string command =
        "cd '" + dir.path() + "' && " + prefix + "'" + TAVRIN_IMPORT + "' " + arguments + " > stdout.log 2> stderr.log";
    const int status = std::system(command.c_str());
    ProgramRun run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = readFile(dir.file("stdout.log"));
    run.err = readFile(dir.file("stderr.log"));
    return run;
}

bool haveImporter() { return std::string(TAVRIN_IMPORT).size() > 0; }
