#include "tests/fuzz/fuzz_targets.h"

#include "batch/engine/pair_context.h"
#include "batch/engine/pair_preparation.h"
#include "batch/engine/search_cubes.h"
#include "batch/file_ptr.h"
#include "batch/inputs/configuration.h"
#include "batch/inputs/point_files.h"
#include "batch/inputs/survey_database.h"
#include "batch/runs/pair_diagnostics.h"
#include "batch/runs/rotation_table.h"
#include "batch/runs/run_state.h"
#include "batch/runs/scan_rotation.h"
#include "batch/summary.h"
#include "tests/fuzz/scratch_folder.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// Each line of the input up to its "\n"; the last one even without it. Only the
// references below use it, never the readers.
std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

bool holdsNonBlank(const std::string& line)
{
    return std::any_of(line.begin(), line.end(), [](char c) { return !std::isspace(static_cast<unsigned char>(c)); });
}

bool isHeaderLine(const std::string& line)
{
    return !line.empty() && (line[0] == '#' || line[0] == 'x' || line[0] == 'X');
}

bool inside(double v, double low, double high) { return low <= v && v <= high; }

// ---- text points -------------------------------------------------------------

RegSettings textPointSettings(uint8_t flags)
{
    RegSettings s;
    s.FILEEXT = (flags & 4) != 0 ? 1 : 0;
    if ((flags & 8) != 0) {
        s.XMIN = s.YMIN = -50.0;
        s.XMAX = s.YMAX = 50.0;
        s.ZMIN = -5.0;
        s.ZMAX = 5.0;
    }
    if ((flags & 16) != 0) {
        s.MINRANGE = 0.5;
        s.MAXRANGE = 20.0;
    }
    if ((flags & 32) != 0) {
        s.TRANSX = 100.0;
        s.TRANSY = -200.0;
    }
    return s;
}

// Bit 0: two loose files (no scanner position); bit 1: evaluation, which never translates.
TextPointOptions textPointOptions(uint8_t flags, const RegSettings& s)
{
    TextPointOptions options;
    options.atScanner = (flags & 1) == 0;
    options.translate = (flags & 2) == 0 && s.FILEEXT == 0;
    options.scannerX = 1.0;
    options.scannerY = 2.0;
    options.scannerZ = 0.29;
    options.zLow = s.ZMIN;
    return options;
}

// Every kept point passes the filters; the count and the array agree.
std::string checkTextPoints(const RegSettings& s, const TextPointOptions& options, const std::vector<CubePoint>& points,
                            int32_t kept, double cliff)
{
    if (kept != static_cast<int32_t>(points.size()))
        return "the point count and the array disagree";
    const double sx = options.scannerX, sy = options.scannerY, sz = options.scannerZ;
    for (const CubePoint& p : points) {
        if (!inside(p.x, s.XMIN, s.XMAX) || !inside(p.y, s.YMIN, s.YMAX) || !inside(p.z, s.ZMIN, s.ZMAX))
            return "a kept point lies outside the extent filter";
        const double r = std::sqrt((p.x - sx) * (p.x - sx) + (p.y - sy) * (p.y - sy) + (p.z - sz) * (p.z - sz));
        if (options.atScanner && !inside(r, s.MINRANGE, s.MAXRANGE))
            return "a kept point lies outside the range filter";
    }
    if (options.atScanner && (!(cliff >= 0.0) || !std::isfinite(cliff) || (kept == 0 && cliff != 0.0)))
        return "the cliff distance is not a finite distance";
    return "";
}

// ---- survey database ---------------------------------------------------------

std::string checkNeighbours(const std::vector<ScanRecord>& scans, const RegSettings& s)
{
    const int32_t n = static_cast<int32_t>(scans.size());
    for (int32_t i = 0; i < n; ++i) {
        const ScanRecord& a = scans[static_cast<std::size_t>(i)];
        const struct {
            int32_t index;
            double distance;
            double sign;
        } sides[] = {{a.nbrPlus, a.distPlus, 1.0}, {a.nbrMinus, a.distMinus, -1.0}};
        for (const auto& side : sides) {
            if (side.index == -1) {
                if (side.distance != s.GPSMAXDIST)
                    return "a scan without neighbour has a distance other than GPSMAXDIST";
                continue;
            }
            if (side.index < 0 || side.index >= n || side.index == i)
                return "a neighbour index is out of range or the scan itself";
            const ScanRecord& b = scans[static_cast<std::size_t>(side.index)];
            const double along = s.DATADIR == 0 ? b.y - a.y : b.x - a.x;
            if (!(along * side.sign > 0.0))
                return "a neighbour lies on the wrong side along the survey line";
            if (!(side.distance >= s.GPSMINDIST && side.distance < s.GPSMAXDIST))
                return "a neighbour lies outside the distance window";
        }
    }
    return "";
}

// The header is line 1 without its "\n" and without one "\r" before it (or before the end);
// every line before the one that is no record, blank ones aside, is a record.
std::string checkSurveyDatabase(const SurveyDatabase& db, const std::string& text)
{
    const std::vector<std::string> lines = splitLines(text);
    if (db.problemLine == 1 || db.problemLine > static_cast<int32_t>(lines.size()))
        return "the line that is no record is not a line after the header";
    const std::size_t last = db.problemLine > 0 ? static_cast<std::size_t>(db.problemLine - 1) : lines.size();
    std::size_t records = 0;
    for (std::size_t k = 1; k < last; ++k)
        records += holdsNonBlank(lines[k]) ? 1 : 0;
    if (records != db.records.size())
        return "the records are not the lines before the one that is no record";
    std::string header = text.substr(0, text.find('\n'));
    if (!header.empty() && header.back() == '\r')
        header.pop_back();
    if (db.header != header)
        return "the header is not line 1 without its line end";
    for (const SurveyRecordText& r : db.records)
        if (r.name.empty() || std::any_of(r.name.begin(), r.name.end(), [](char c) {
                return std::isspace(static_cast<unsigned char>(c)) != 0;
            }))
            return "a NAME is empty or holds a blank";
    for (const SurveyRecordText& r : db.records)
        if (r.name.find_first_of("\"'") != std::string::npos)
            return "a NAME holds a quote";
    return "";
}

// ---- scan rotation -----------------------------------------------------------

RegSettings rotationSettings(uint8_t flags, const std::string& logName)
{
    RegSettings s;
    s.APPLYFILTER = (flags & 1) != 0 ? 1 : 0;
    if ((flags & 2) != 0) {
        s.TRANSX = 1000.0;
        s.TRANSY = 2000.0;
    }
    if ((flags & 4) != 0) {
        s.XMIN = s.YMIN = -20.0;
        s.XMAX = s.YMAX = 20.0;
        s.ZMIN = -3.0;
        s.ZMAX = 3.0;
        s.MINRANGE = 0.5;
        s.MAXRANGE = 15.0;
    }
    s.SCANTRANSFORM = (flags & 8) != 0 ? 1 : 0;
    s.regFileName = scratchPath("surveyreg.csv");
    s.rotFileName = scratchPath("surveyrot.csv");
    s.pairsFileName = scratchPath("surveypairs.csv");
    s.adjustFileName = scratchPath("surveyadjust.csv");
    s.logFileName = logName;
    // One scan: its turn is the mean of the rows that name it, which the contract checks.
    s.ADJUST = 0;
    return s;
}

// A point line of a rotated file must read as printf's "%lf %lf %lf %i %i %i %i \n" of the
// numbers it shows (the line end already taken off).
bool isPrintfPointLine(const std::string& line)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t blank; (blank = line.find(' ', start)) != std::string::npos; start = blank + 1)
        fields.push_back(line.substr(start, blank - start));
    if (fields.size() != 7 || start != line.size())
        return false;
    char text[400];
    for (std::size_t k = 0; k < fields.size(); ++k) {
        if (k < 3)
            std::snprintf(text, sizeof text, "%lf", std::strtod(fields[k].c_str(), nullptr));
        else
            std::snprintf(text, sizeof text, "%i", static_cast<int>(std::strtol(fields[k].c_str(), nullptr, 10)));
        if (fields[k] != text)
            return false;
    }
    return true;
}

// The rotation table row "id,mean,values,spread,point lines,points written \n" of the
// one scan, and the rotated file: the header lines copied, then one line per point written.
std::string checkRotationOutput(const std::string& table, const std::string& rotated, const std::string& scanText,
                                bool binary)
{
    const std::vector<std::string> rows = splitLines(table);
    if (rows.size() != 2)
        return "the rotation table does not hold its header and one row";
    const std::size_t lastComma = rows[1].rfind(',');
    const std::size_t countComma = lastComma == std::string::npos ? lastComma : rows[1].rfind(',', lastComma - 1);
    if (countComma == std::string::npos)
        return "the rotation table row lacks its point counts";
    const long pointLines = std::strtol(rows[1].c_str() + countComma + 1, nullptr, 10);
    const long written = std::strtol(rows[1].c_str() + lastComma + 1, nullptr, 10);
    if (written < 0 || written > pointLines)
        return "more points written than point lines read";
    const std::vector<std::string> lines = splitLines(rotated);
    if (static_cast<long>(lines.size()) < written)
        return "the rotated file holds fewer lines than points written";
    for (auto line = lines.end() - written; line != lines.end(); ++line)
        if (!isPrintfPointLine(*line))
            return "a rotated point line is not written as printf writes it";
    if (binary || scanText.find('\0') != std::string::npos)
        return "";
    long headers = 0;
    for (const std::string& line : splitLines(scanText))
        headers += isHeaderLine(line) ? 1 : 0;
    if (static_cast<long>(std::count(rotated.begin(), rotated.end(), '\n')) != headers + written)
        return "the rotated file does not hold the header lines and the points written";
    return "";
}

// ---- pair preparation --------------------------------------------------------

RegSettings pairSettings(uint8_t flags)
{
    RegSettings s;
    s.REGMODE = (flags & 1) != 0 ? 0 : 1;
    const double cubeSizes[] = {1.0, 0.25, 5.0, 1e-3};
    s.dCX = s.dCY = s.dCZ = cubeSizes[(flags >> 1) & 3];
    s.NUMPPC = (flags & 8) != 0 ? 1 : 3;
    s.MINNUMPTS = (flags & 16) != 0 ? 1 : 5;
    convertAnglesToRadians(s);
    return s;
}

// Scans that do not overlap give an inverted overlap box and with it a cube count of
// zero or below (the grid formula as it stands); their points all carry that count.
std::string checkPreparedScan(const PointSet& scan, int32_t cubeCount)
{
    for (std::size_t i = 0; i < scan.points.size(); ++i) {
        const int32_t cube = scan.points[i].cube;
        if (cube != cubeCount && !(cube >= 0 && cube < cubeCount))
            return "a point carries a cube index outside the grid";
        if (i > 0 && static_cast<uint32_t>(scan.points[i - 1].cube) > static_cast<uint32_t>(cube))
            return "the points are not sorted by cube";
    }
    return "";
}

}  // namespace

std::string feedConfigurationFile(const uint8_t* data, std::size_t size)
{
    ScratchFiles cleanup;
    const std::string path = scratchPath("ipcreg.txt");
    if (!writeFile(path, data, size))
        return "cannot write the scratch file";
    RegSettings settings;
    if (!readConfigurationFile(path, settings))
        return "the configuration file was not read";
    printSummaryAndMenu(settings);
    return "";
}

std::string feedSurveyDatabase(const uint8_t* data, std::size_t size)
{
    ScratchFiles cleanup;
    const std::string path = scratchPath("survey.csv");
    if (!writeFile(path, data, size))
        return "cannot write the scratch file";
    const std::optional<SurveyDatabase> db = readSurveyDatabase(path);
    if (!db)
        return "the survey database was not read";
    std::string finding = checkSurveyDatabase(*db, std::string(reinterpret_cast<const char*>(data), size));
    for (int32_t direction : {0, 1}) {
        RegSettings settings;
        settings.DATADIR = direction;
        settings.GPSMINDIST = 0.5;
        settings.GPSMAXDIST = 50.0;
        deriveOutputNames(path, settings);
        std::vector<ScanRecord> scans;
        for (const SurveyRecordText& record : db->records)
            scans.push_back(makeScanRecord(record, settings));
        findNeighbours(scans, settings);
        if (finding.empty())
            finding = checkNeighbours(scans, settings);
    }
    return finding;
}

std::string feedBinaryPoints(const uint8_t* data, std::size_t size)
{
    ScratchFiles cleanup;
    const std::string path = scratchPath("scan.bxyz");
    if (!writeFile(path, data, size))
        return "cannot write the scratch file";
    std::vector<CubePoint> points(3);  // a previous scan's points must not survive
    const int32_t count = readBinaryPoints(path, points);
    if (count != static_cast<int32_t>(size / 32) || points.size() != size / 32)
        return "the point count is not the number of whole 32-byte records";
    for (std::size_t i = 0; i < points.size(); ++i) {
        const CubePoint& p = points[i];
        if (std::memcmp(&p.x, data + 32 * i, 24) != 0 || p.cube != 0 || p.pad != 0)
            return "a point differs from its record";
    }
    return "";
}

std::string feedTextPoints(const uint8_t* data, std::size_t size)
{
    if (size == 0)
        return "";
    ScratchFiles cleanup;
    const std::string path = scratchPath("scan.txt");
    if (!writeFile(path, data + 1, size - 1))
        return "cannot write the scratch file";
    const RegSettings settings = textPointSettings(data[0]);
    const TextPointOptions options = textPointOptions(data[0], settings);
    std::vector<CubePoint> points(3);
    double cliff = -1.0;
    const int32_t kept = readTextPoints(path, settings, options, points, cliff);
    return checkTextPoints(settings, options, points, kept, cliff);
}

std::string feedRotationTable(const uint8_t* data, std::size_t size)
{
    ScratchFiles cleanup;
    const std::string path = scratchPath("surveyreg.csv");
    if (!writeFile(path, data, size))
        return "cannot write the scratch file";
    const int32_t count = countRotationEntries(path);
    const std::vector<RotationEntry> entries = loadRotationTable(path, count);
    if (count < 0 || count % 2 != 0 || entries.size() != static_cast<std::size_t>(count))
        return "the table does not yield two entries per counted row";
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (text.find('\0') == std::string::npos) {
        const std::vector<std::string> lines = splitLines(text);
        const auto rows = std::count_if(lines.begin() + (lines.empty() ? 0 : 1), lines.end(), holdsNonBlank);
        if (static_cast<int64_t>(count) != 2 * static_cast<int64_t>(rows))
            return "the entry count is not twice the data rows";
    }
    std::vector<int32_t> ids;
    for (const RotationEntry& e : entries)
        if (ids.size() < 8 && std::find(ids.begin(), ids.end(), e.scanId) == ids.end())
            ids.push_back(e.scanId);
    for (int32_t id : ids) {
        int32_t values = 0;
        double spread = 0.0;
        meanRotation(entries, id, values, spread);
        // A row with both rotations at 0 found nothing and counts for nothing.
        const auto expected = std::count_if(entries.begin(), entries.end(),
                                            [id](const RotationEntry& e) { return e.scanId == id && e.found; });
        if (values != expected)
            return "the number of rotation values of a scan is wrong";
    }
    return "";
}

std::string feedScanRotation(const uint8_t* data, std::size_t size)
{
    if (size == 0)
        return "";
    ScratchFiles cleanup;
    const uint8_t flags = data[0];
    const TwoFiles files = splitTwoFiles(data + 1, size - 1);
    const bool binary = (flags & 16) != 0;
    RegSettings settings = rotationSettings(flags, scratchPath("surveylog.txt"));
    ScanRecord scan;
    scan.scanId = (flags & 32) != 0 ? 2 : 1;
    scan.x = 3.0;
    scan.y = -4.0;
    scan.z = 0.5;
    scan.rotZ = 0.3;
    scan.fileName = scratchPath(binary ? "survey_001_002_A.bxyz" : "survey_001_002_A.txt");
    if (!writeFile(settings.regFileName, files.first.data(), files.first.size())
        || !writeFile(scan.fileName, files.second.data(), files.second.size()))
        return "cannot write the scratch files";
    FilePtr log(std::fopen(settings.logFileName.c_str(), "w"));
    RunState run;
    run.runMode = 2;
    run.logFile = log.get();
    const RunStatus status = rotateScans(settings, run, {scan}, false);
    const std::string rotatedName = scan.fileName.substr(0, scan.fileName.size() - 4) + "_rot.txt";
    if (binary && scannerFormatOf(scan.fileName) != PointFormat::Unknown) {
        // A scanner's own file under a binary name is refused, never turned.
        if (status != RunStatus::Incomplete || fileExists(rotatedName))
            return "a scanner's file named .bxyz was rotated as points";
        return "";
    }
    if (status != RunStatus::Ok)
        return "the rotation reports a failure with every file writable";
    return checkRotationOutput(readFile(settings.rotFileName), readFile(rotatedName), files.second, binary);
}

std::string feedPairPreparation(const uint8_t* data, std::size_t size)
{
    if (size == 0 || size > 16384)
        return "";
    ScratchFiles cleanup;
    WorkingFolder workingFolder(scratchFolder());
    if (!workingFolder.entered())
        return "cannot enter the scratch folder";
    const uint8_t flags = data[0];
    const TwoFiles files = splitTwoFiles(data + 1, size - 1);
    const RegSettings settings = pairSettings(flags);
    PairContext pair;
    pair.scan1Index = 0;
    pair.scan2Index = 1;
    pair.scan1Path = scratchPath((flags & 32) != 0 ? "one.bxyz" : "one.txt");
    pair.scan2Path = scratchPath((flags & 64) != 0 ? "two.bxyz" : "two.txt");
    if (!writeFile(pair.scan1Path, files.first.data(), files.first.size())
        || !writeFile(pair.scan2Path, files.second.data(), files.second.size()))
        return "cannot write the scratch files";
    // As two loose files are compared: no scan table, every pair written to the diagnostic files.
    PrepareSteps steps;
    steps.fromScanTable = false;
    steps.measureInitialRms = true;
    DiagnosticFiles diagnostics;
    const PrepareResult result = prepareRegistration(settings, {}, pair, steps, &diagnostics);
    if (result == PrepareResult::NoPoints && !pair.scan1.points.empty() && !pair.scan2.points.empty())
        return "both scans have points, yet the pair reports none";
    if (result != PrepareResult::Ready)
        return "";
    std::string finding = checkPreparedScan(pair.scan1, pair.cubeCount);
    if (finding.empty())
        finding = checkPreparedScan(pair.scan2, pair.cubeCount);
    if (finding.empty() && !(pair.initialRms >= 0.0f))
        return "the initial RMS is not a distance";
    return finding;
}

const FuzzReader BATCH_READERS[7] = {
    {"configuration", feedConfigurationFile},  {"survey_database", feedSurveyDatabase},
    {"binary_points", feedBinaryPoints},       {"text_points", feedTextPoints},
    {"rotation_table", feedRotationTable},     {"scan_rotation", feedScanRotation},
    {"pair_preparation", feedPairPreparation},
};
