#include "tests/fuzz/import_feeds.h"

#include "import/byte_source.h"
#include "import/cloud_stats.h"
#include "import/crc32c.h"
#include "import/e57_reader.h"
#include "import/format_sniffing.h"
#include "import/las_reader.h"
#include "import/ply_reader.h"
#include "import/pose_records.h"
#include "import/ptx_reader.h"
#include "import/xyz_reader.h"

#include <cmath>
#include <vector>

namespace {

// Keeps no points, only what the contract is checked against.
class CheckingSink : public PointSink {
public:
    void setScannerPosition(const ImportedPoint& p) override { stats.scanner = p; }
    void expectRecords(int64_t records) override { expected = records; }
    void progress(uint64_t bytesRead) override
    {
        if (bytesRead < lastProgress) {
            finding = "the progress went backwards";
        }
        lastProgress = bytesRead;
    }
    bool take(const ImportedPoint* points, std::size_t count) override
    {
        for (std::size_t i = 0; i < count; ++i) {
            if (!std::isfinite(points[i].x) || !std::isfinite(points[i].y) || !std::isfinite(points[i].z)) {
                finding = "a point handed on is not finite";
            }
        }
        addToStats(stats, points, count);
        return true;
    }

    CloudStats stats;
    int64_t expected = -1;
    uint64_t lastProgress = 0;
    std::string finding;
};

// What holds for every reader: each record is kept or dropped for one reason, the
// sink got the points kept (all of them when the read worked), a refusal says why,
// and the box holds the points.
std::string checkOutcome(const ReadOutcome& o, const CheckingSink& sink, std::size_t size)
{
    if (!sink.finding.empty()) {
        return sink.finding;
    }
    int64_t accounted = o.kept;
    for (int64_t n : o.dropped) {
        if (n < 0) {
            return "a drop count is negative";
        }
        accounted += n;
    }
    if (accounted != o.records) {
        return "the kept and dropped points do not add up to the records";
    }
    // A read that fails may stop with kept points still in its block.
    if (o.ok ? sink.stats.points != o.kept : sink.stats.points > o.kept) {
        return "the sink did not get exactly the points counted as kept";
    }
    if (o.ok != o.error.empty() || o.sinkStopped) {
        return o.ok ? "a read that worked carries an error" : "a refused read gives no reason";
    }
    if (o.ok && sink.expected >= 0 && sink.expected != o.records) {
        return "the records read differ from the count the header announced";
    }
    if (static_cast<uint64_t>(o.records) > size) {
        return "more records than bytes in the input";
    }
    for (int32_t k = 0; k < 3 && o.kept > 0; ++k) {
        if (!(sink.stats.min[k] <= sink.stats.max[k])) {
            return "the bounding box is empty although points were kept";
        }
    }
    return "";
}

// The sniffer sees every input the readers see; it must not fail on any.
void sniffToo(ByteSource& source)
{
    sniffFormat(source, "input");
    sniffFormat(source, "input.laz");
}

}  // namespace

std::string feedLasImport(const uint8_t* data, std::size_t size)
{
    MemorySource source(data, size);
    CheckingSink sink;
    const ReadOutcome o = readLas(source, sink);
    sniffToo(source);
    return checkOutcome(o, sink, size);
}

std::string feedPlyImport(const uint8_t* data, std::size_t size)
{
    MemorySource source(data, size);
    CheckingSink sink;
    const ReadOutcome o = readPly(source, sink);
    sniffToo(source);
    return checkOutcome(o, sink, size);
}

std::string feedPtxImport(const uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return "";
    }
    PtxChoice choice;
    choice.scan = 1 + (data[0] & 3);
    choice.applyPose = (data[0] & 4) != 0;
    MemorySource source(data + 1, size - 1);
    CheckingSink sink;
    PtxScanInfo info;
    const ReadOutcome o = readPtx(source, choice, sink, info);
    sniffToo(source);
    const std::string finding = checkOutcome(o, sink, size);
    if (!finding.empty()) {
        return finding;
    }
    if (o.ok && info.scansFound < choice.scan) {
        return "a scan was read that the scan count leaves out";
    }
    if (o.ok && o.records != info.pose.columns * info.pose.rows) {
        return "the records read differ from the scan's grid";
    }
    return "";
}

std::string feedXyzImport(const uint8_t* data, std::size_t size)
{
    MemorySource source(data, size);
    CheckingSink sink;
    const ReadOutcome o = readXyz(source, sink);
    sniffToo(source);
    return checkOutcome(o, sink, size);
}

namespace {

// What the database written from the file would hold: names fit for a file name, and
// finite positions and angles in their ranges.
std::string checkDatabaseValues(const E57Contents& contents)
{
    for (std::size_t k = 0; k < contents.scans.size(); ++k) {
        const E57Scan& scan = contents.scans[k];
        const std::string name = safeScanName(scan.name, static_cast<int32_t>(k + 1));
        if (name.empty() || name.find_first_of(" \t\"',/\\") != std::string::npos) {
            return "a scan name made safe still holds a blank, quote, comma or slash";
        }
        if (!scan.problem.empty()) {
            continue;
        }
        const PoseRecord r = recordOfPose(scan.rotation, scan.translation);
        const bool finite = std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.z);
        // Degrees of the batch program's pi, 3.14159265, reach a little past 90 and 180.
        const double slack = 1e-5;
        if (!finite || !(r.a3 >= 0.0 && r.a3 <= 360.0 + slack) || !(std::fabs(r.a1) <= 180.0 + slack)
            || !(std::fabs(r.a2) <= 90.0 + slack)) {
            return "a pose gives database values that are not finite or out of their range";
        }
    }
    return "";
}

}  // namespace

// The checksum of a page's first 1020 bytes, most significant byte first.
void mendE57Checksums(unsigned char* file, std::size_t size)
{
    for (std::size_t at = 0; at + 1024 <= size; at += 1024) {
        const uint32_t crc = crc32c(file + at, 1020);
        for (int32_t k = 0; k < 4; ++k) {
            file[at + 1020 + static_cast<std::size_t>(k)] = static_cast<unsigned char>(crc >> (24 - 8 * k));
        }
    }
}

std::string feedE57Import(const uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return "";
    }
    E57Choice choice;
    choice.scan = 1 + (data[0] & 3);
    choice.applyPose = (data[0] & 4) != 0;
    std::vector<unsigned char> file(data + 1, data + size);
    if ((data[0] & 8) == 0) {
        mendE57Checksums(file.data(), file.size());
    }
    MemorySource source(file.data(), file.size());
    CheckingSink sink;
    E57Contents contents;
    const ReadOutcome o = readE57(source, choice, sink, contents);
    sniffToo(source);
    const std::string finding = checkOutcome(o, sink, size * 8);
    if (!finding.empty()) {
        return finding;
    }
    if (o.ok && o.records != contents.scans[static_cast<std::size_t>(choice.scan - 1)].records) {
        return "the records read differ from the count the scan announced";
    }
    return checkDatabaseValues(contents);
}

const ImportFuzzReader IMPORT_READERS[5] = {
    {"las_import", feedLasImport}, {"ply_import", feedPlyImport}, {"ptx_import", feedPtxImport},
    {"xyz_import", feedXyzImport}, {"e57_import", feedE57Import},
};
