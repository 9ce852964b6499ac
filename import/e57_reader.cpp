#include "import/e57_reader.h"

#include "import/e57_packets.h"
#include "import/e57_pages.h"
#include "import/text_fields.h"

#include <cmath>

namespace {

bool anyPoints(const E57Contents& contents)
{
    for (const E57Scan& scan : contents.scans) {
        if (scan.records > 0) {
            return true;
        }
    }
    return false;
}

// Hands a batch of decoded records to the block: drops the invalid ones, turns
// spherical coordinates into cartesian ones and applies the pose when asked. Columns
// that need none of that go to the block as they are.
bool addRecords(const E57Scan& scan, bool applyPose, const double* const* columns, int64_t count,
                std::vector<double> (&scratch)[3], PointBlock& block)
{
    const bool spherical = scan.coordinates == E57Coordinates::Spherical;
    const double* invalid = scan.invalid >= 0 ? columns[3] : nullptr;
    const std::size_t n = static_cast<std::size_t>(count);
    if (!spherical && !applyPose && invalid == nullptr) {
        return block.addColumns(columns[0], columns[1], columns[2], n);
    }
    for (std::vector<double>& column : scratch) {
        column.resize(n);
    }
    const double(*r)[3] = scan.rotation;
    const double* t = scan.translation;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (invalid != nullptr && invalid[i] != 0.0) {
            block.drop(DropReason::MarkedInvalid);
            continue;
        }
        double p[3] = {columns[0][i], columns[1][i], columns[2][i]};
        if (spherical) {
            const double range = p[0], azimuth = p[1], elevation = p[2];
            const double across = range * std::cos(elevation);
            p[0] = across * std::cos(azimuth);
            p[1] = across * std::sin(azimuth);
            p[2] = range * std::sin(elevation);
        }
        for (int32_t k = 0; k < 3; ++k) {
            scratch[k][kept] = applyPose ? r[k][0] * p[0] + r[k][1] * p[1] + r[k][2] * p[2] + t[k] : p[k];
        }
        ++kept;
    }
    return block.addColumns(scratch[0].data(), scratch[1].data(), scratch[2].data(), kept);
}

// Scan `number` (1-based) when it can be read; nullptr with `error` set when it cannot.
const E57Scan* readableScan(const E57Contents& contents, int32_t number, std::string& error)
{
    const int32_t count = static_cast<int32_t>(contents.scans.size());
    if (number < 1 || number > count) {
        error = "there is no scan " + std::to_string(number) + ": the file holds " + std::to_string(count) + " scan(s)";
        return nullptr;
    }
    const E57Scan& scan = contents.scans[static_cast<std::size_t>(number - 1)];
    if (!scan.problem.empty()) {
        error = e57ScanLabel(contents, number) + " cannot be read: " + scan.problem;
        return nullptr;
    }
    if (scan.records == 0) {
        error = e57ScanLabel(contents, number) + " holds no points (0 records)";
        return nullptr;
    }
    return &scan;
}

// Every record of the started reader through the block to the sink; false when the
// data is broken (`outcome.error` set) or the sink stopped.
bool passRecords(E57RecordReader& records, const E57Scan& scan, bool applyPose, PointSink& sink, ReadOutcome& outcome)
{
    sink.expectRecords(scan.records);
    if (applyPose) {
        sink.setScannerPosition(ImportedPoint{scan.translation[0], scan.translation[1], scan.translation[2]});
    }
    PointBlock block(sink, outcome);
    const double* columns[E57RecordReader::MAX_WANTED] = {};
    std::vector<double> scratch[3];
    for (;;) {
        const int64_t n = records.next(columns, outcome.error);
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            break;
        }
        if (!addRecords(scan, applyPose, columns, n, scratch, block)) {
            return false;
        }
        sink.progress(records.physicalOffset());
    }
    outcome.ok = block.flush();
    return outcome.ok;
}

}  // namespace

std::string e57ScanLabel(const E57Contents& contents, int32_t scan)
{
    const std::string label = "scan " + std::to_string(scan);
    if (scan < 1 || scan > static_cast<int32_t>(contents.scans.size())) {
        return label;
    }
    const std::string& name = contents.scans[static_cast<std::size_t>(scan - 1)].name;
    return name.empty() ? label : label + " (" + shownText(name) + ")";
}

bool openE57(ByteSource& source, E57Contents& contents, std::string& error)
{
    contents = E57Contents();
    E57Pages pages(source);
    E57Header header;
    if (!pages.open(header, error)) {
        return false;
    }
    uint64_t xmlStart = 0;
    e57Logical(header.xmlOffset, xmlStart);  // checked by open()
    // The length is checked against the file by open(), so this allocation is bounded by it.
    std::string xml(static_cast<std::size_t>(header.xmlLength), '\0');
    if (!pages.read(xmlStart, xml.data(), xml.size(), error)
        || !parseE57Structure(xml.data(), xml.size(), contents, error)) {
        return false;
    }
    if (contents.scans.empty()) {
        error = "the file holds no scans (its data3D vector is empty or missing): there are no points to convert";
        return false;
    }
    if (!anyPoints(contents)) {
        error = "the file holds no points: each of its " + std::to_string(contents.scans.size())
            + " scan(s) announces 0 records";
        return false;
    }
    return true;
}

ReadOutcome readE57Scan(ByteSource& source, const E57Contents& contents, int32_t scanNumber, bool applyPose,
                        PointSink& sink)
{
    ReadOutcome outcome;
    const E57Scan* scan = readableScan(contents, scanNumber, outcome.error);
    if (scan == nullptr) {
        return outcome;
    }
    E57Pages pages(source);
    E57Header header;
    if (!pages.open(header, outcome.error)) {
        return outcome;
    }
    std::vector<int32_t> wanted(scan->xyz, scan->xyz + 3);
    if (scan->invalid >= 0) {
        wanted.push_back(scan->invalid);
    }
    E57RecordReader records(pages, *scan, wanted);
    const bool read = records.start(outcome.error) && passRecords(records, *scan, applyPose, sink, outcome);
    if (!read && !outcome.error.empty()) {
        outcome.error = e57ScanLabel(contents, scanNumber) + ": " + outcome.error;
    }
    return outcome;
}

ReadOutcome readE57(ByteSource& source, const E57Choice& choice, PointSink& sink, E57Contents& contents)
{
    ReadOutcome outcome;
    if (!openE57(source, contents, outcome.error)) {
        return outcome;
    }
    return readE57Scan(source, contents, choice.scan, choice.applyPose, sink);
}
