#include "batch/runs/scan_rotation.h"

#include "batch/constants.h"
#include "batch/engine/transform.h"
#include "batch/file_ptr.h"
#include "batch/inputs/configuration.h"
#include "batch/inputs/point_files.h"
#include "batch/inputs/survey_database.h"
#include "batch/int32_range.h"
#include "batch/outputs/number_text.h"
#include "batch/outputs/output_file.h"
#include "batch/outputs/output_names.h"
#include "batch/outputs/text_lines.h"
#include "batch/runs/pair_rows.h"
#include "batch/runs/rotation_table.h"
#include "batch/runs/run_state.h"
#include "batch/runs/survey_adjustment.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

// One point of a scan file as the rotation carries it: coordinates and the four
// extra columns of the seven-column text format (0 for binary points).
struct RotationPoint {
    double x = 0.0, y = 0.0, z = 0.0;  ///< metres
    int32_t a = 0, b = 0, c = 0;       ///< whole numbers carried through
    int32_t d = 0;                     ///< the real column, truncated toward zero
};

bool isHeaderLine(const std::string& line)
{
    return !line.empty() && (line[0] == '#' || line[0] == 'x' || line[0] == 'X');
}

int32_t truncatedToInt(double v)
{
    if (!(v > -2147483648.0 && v < 2147483648.0))
        return 0;
    return static_cast<int32_t>(v);
}

// A seven-column point line: x, y, z, three whole numbers and a real, separated by
// blanks (commas and semicolons are taken as blanks too). Missing extra columns
// are 0; false when the line holds fewer than three numbers.
bool parseRotationPoint(const std::string& line, RotationPoint& p)
{
    std::string text = line;
    for (char& ch : text)
        if (ch == ',' || ch == ';')
            ch = ' ';
    const char* s = text.c_str();
    char* end = nullptr;
    double xyz[3];
    for (double& v : xyz) {
        v = std::strtod(s, &end);
        if (end == s)
            return false;
        s = end;
    }
    p = RotationPoint{xyz[0], xyz[1], xyz[2]};
    for (int32_t* v : {&p.a, &p.b, &p.c}) {
        const long long n = std::strtoll(s, &end, 10);
        if (end == s)
            return true;
        *v = clampToInt32(n);
        s = end;
    }
    const double real = std::strtod(s, &end);
    if (end != s)
        p.d = truncatedToInt(real);
    return true;
}

// How far a scan's points lie from its scanner, horizontally: a count per centimetre.
struct RangeCounts {
    std::vector<int64_t> bins;  ///< points per centimetre of range; the last bin takes every farther point
    int64_t points = 0;

    void reset() { bins.assign(RANGE_BINS, 0), points = 0; }
    void add(double range)
    {
        const double bin = range * 100.0;
        ++bins[bin >= 0.0 && bin < RANGE_BINS - 1 ? static_cast<std::size_t>(bin) : RANGE_BINS - 1];
        ++points;
    }
    /// Metres, the median to a centimetre; NaN without points.
    double median() const
    {
        int64_t below = 0;
        for (std::size_t b = 0; b < bins.size() && points > 0; ++b) {
            below += bins[b];
            if (2 * below >= points)
                return (static_cast<double>(b) + 0.5) / 100.0;
        }
        return NAN;
    }
    static constexpr std::size_t RANGE_BINS = 1000000;  // 10 km
};

struct ScanRotation {
    const RegSettings& settings;
    const ScanRecord& scan;
    RangeCounts& ranges;
    bool rotate = false;
    double cosAngle = 1.0;  ///< of the mean rotation
    double sinAngle = 0.0;
    int32_t written = 0;  ///< points written
    std::string line{};   ///< the point line being built

    // Text points stand in the survey's own coordinates; binary ones were reduced already.
    void place(RotationPoint p, bool reduced, std::FILE* out)
    {
        const double tx = reduced ? 0.0 : settings.TRANSX, ty = reduced ? 0.0 : settings.TRANSY;
        double x = p.x - tx, y = p.y - ty;
        if (rotate) {
            const double dx = p.x - (tx + scan.x), dy = p.y - (ty + scan.y);
            x = dx * cosAngle - dy * sinAngle + scan.x;
            y = dy * cosAngle + dx * sinAngle + scan.y;
        }
        ranges.add(std::sqrt((x - scan.x) * (x - scan.x) + (y - scan.y) * (y - scan.y)));
        if (settings.APPLYFILTER != 0 && !keeps(x, y, p.z))
            return;
        // "%lf %lf %lf %i %i %i %i \n", built without printf: a scan has millions of lines.
        line.clear();
        for (double v : {x, y, p.z}) {
            appendFixed6(line, v);
            line += ' ';
        }
        for (int32_t v : {p.a, p.b, p.c, p.d}) {
            appendInteger(line, v);
            line += ' ';
        }
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), out);
        ++written;
    }

    bool keeps(double x, double y, double z) const
    {
        const RegSettings& s = settings;
        const double r =
            std::sqrt((x - scan.x) * (x - scan.x) + (y - scan.y) * (y - scan.y) + (z - scan.z) * (z - scan.z));
        return s.XMIN <= x && x <= s.XMAX && s.YMIN <= y && y <= s.YMAX && s.ZMIN <= z && z <= s.ZMAX && s.MINRANGE <= r
            && r <= s.MAXRANGE;
    }
};

// Header lines and point lines of a text scan file; false when it cannot be opened.
bool countLines(const std::string& path, int32_t& headers, int32_t& points)
{
    headers = points = 0;
    TextLineReader in(path);
    if (!in.isOpen())
        return false;
    std::string line;
    while (in.next(line))
        ++(isHeaderLine(line) ? headers : points);
    return true;
}

bool canOpen(const std::string& path) { return FilePtr(std::fopen(path.c_str(), "rb")) != nullptr; }

void reportUnopenable(const std::string& path, std::FILE* log)
{
    std::printf("Unable to open data file at %s \n", path.c_str());
    if (log != nullptr)
        std::fprintf(log, "Unable to open files: %s .Please check your input file for an error here. \n", path.c_str());
}

// Rotates one scan by its turn into its rotated file and writes its row of the rotation
// table; counts its points' ranges. Failed when a file could not be written.
RunStatus rotateScan(const RegSettings& settings, std::FILE* log, const ScanRecord& scan, const ScanTurn& turn,
                     OutputFile& table, std::vector<CubePoint>& binary, RangeCounts& ranges, bool& rotatedWritten,
                     double& turnedBy)
{
    rotatedWritten = false;
    turnedBy = NAN;
    const std::string input = scan.fileName, output = rotatedFileName(scan.fileName);
    bool isBinary = isBinaryPointFileName(input);
    if (isBinary && reportScannerFormat(input, log))
        return RunStatus::Incomplete;
    if (isBinary && looksLikeText(input)) {
        std::printf("The point file %s holds text, not binary points: it is read as a text point file. \n",
                    input.c_str());
        isBinary = false;
    }
    int32_t headers = 0, pointLines = 0;
    if (isBinary ? !canOpen(input) : !countLines(input, headers, pointLines))
        std::printf("UNABLE TO OPEN FILE %s \n", input.c_str());
    if (!canOpen(input)) {
        reportUnopenable(input, log);
        return RunStatus::Incomplete;  // no row, and a rotated file of an earlier run stays as it was
    }
    OutputFile rotated(output, log);
    if (!rotated.isOpen())
        return RunStatus::Failed;
    std::printf("Loading data from file %s \n", input.c_str());
    std::printf("Output to file: %s \n", output.c_str());
    if (isBinary) {
        // Binary points stand in the scanner's frame unless told otherwise: the
        // rotation turns them about the scanner in the survey frame.
        pointLines = readBinaryPoints(input, binary);
        if (settings.SCANTRANSFORM == 0 && !binary.empty()) {
            const Matrix4 m = makeScanTransform(scan.rotX, scan.rotY, scan.rotZ, 1.0, scan.x, scan.y, scan.z);
            printScanTransform(m);
            applyScanTransform(binary, m);
        }
    }

    ScanRotation rotation{settings, scan, ranges};
    ranges.reset();
    const double mean = turn.degrees;
    if (!turn.found) {
        if (turn.pairs == 0)
            std::printf("%i has no rotations, so the rotation will not be performed \n", scan.scanId);
        std::printf("No rotation values found !=0 for %i so %i points will not be rotated.  \n", scan.scanId,
                    pointLines);
        std::fprintf(table.get(), "%i,0.000000,0,0.0", scan.scanId);
    } else {
        std::printf("Rotating %i Points in %i by %f degrees \n", pointLines, scan.scanId, mean);
        std::fprintf(table.get(), "%i,%f,%i,%f", scan.scanId, mean, turn.pairs, turn.spread);
        rotation.rotate = true;
        turnedBy = mean;
        rotation.cosAngle = std::cos(mean * DEG_TO_RAD);
        rotation.sinAngle = std::sin(mean * DEG_TO_RAD);
    }
    if (isBinary) {
        for (const CubePoint& p : binary)
            rotation.place(RotationPoint{p.x, p.y, p.z}, true, rotated.get());
    } else {
        TextLineReader in(input);
        std::string line;
        // The first lines, as many as there are header lines, are copied as headers.
        for (int32_t h = 0; h < headers && in.next(line); ++h)
            std::fprintf(rotated.get(), "%s \n", line.c_str());
        RotationPoint p;
        while (in.next(line))
            if (parseRotationPoint(line, p))
                rotation.place(p, false, rotated.get());
    }
    std::fprintf(table.get(), ",%i,%i \n", pointLines, rotation.written);
    const bool tableWritten = table.flush();
    rotatedWritten = rotated.close();
    std::printf("Output of %i points \n", rotation.written);
    std::printf("\n");
    return tableWritten && rotatedWritten ? RunStatus::Ok : RunStatus::Failed;
}

// Each scan's adjusted correction and its uncertainty; false (reported) when the table
// could not be written.
bool writeAdjustmentTable(const RegSettings& settings, std::FILE* log, const std::vector<ScanRecord>& scans,
                          const std::vector<ScanTurn>& turns, const std::vector<double>& medianRange)
{
    OutputFile table(settings.adjustFileName, log);
    if (!table.isOpen())
        return false;
    std::fprintf(table.get(),
                 "ID,correction(degrees),sigma(degrees),sigma_at_range(mm),pairs_used,pairs_rejected,"
                 "A3_corrected(degrees)\n");
    for (std::size_t i = 0; i < scans.size(); ++i) {
        const ScanTurn& t = turns[i];
        const double correction = t.found ? t.degrees : 0.0;
        const double atRange = t.sigma * DEG_TO_RAD * medianRange[i] * 1000.0;
        std::fprintf(table.get(), "%i,%lf,%lf,%lf,%i,%i,%lf\n", scans[i].scanId, correction, t.sigma, atRange, t.pairs,
                     t.rejected, scans[i].rotZ * RAD_TO_DEG + correction);
    }
    return table.close();
}

}  // namespace

RunStatus rotateScans(const RegSettings& settings, RunState& run, const std::vector<ScanRecord>& scans)
{
    const float step = static_cast<float>(100.0 / static_cast<double>(scans.size()));
    const std::time_t start = std::time(nullptr);
    OutputFile table(settings.rotFileName, run.logFile, false);
    if (!table.isOpen()) {
        std::printf("Unable to create %s \n", settings.rotFileName.c_str());
        std::printf("Please verify that the path exists. \n");
        return RunStatus::Fatal;
    }
    std::fprintf(table.get(), "ID,rotation(degrees),numRotVals,RotSpread(Degrees),Numpoints,NumpointsED \n");
    const int32_t entryCount = countRotationEntries(settings.regFileName);
    const std::vector<RegistrationRow> rows = loadRegistrationRows(settings.regFileName, entryCount);
    run.rejectedPairs.clear();
    const std::vector<ScanTurn> turns =
        scanTurns(settings, scans, rows, settings.pairsFileName, run.logFile, run.rejectedPairs);
    RunStatus status = RunStatus::Ok;
    std::vector<CubePoint> binary;  // reused from scan to scan
    RangeCounts ranges;
    std::vector<double> medianRange(scans.size(), NAN);
    run.rotated.assign(scans.size(), false);
    run.turnedBy.assign(scans.size(), NAN);
    run.headingSigma.assign(scans.size(), NAN);
    for (std::size_t i = 0; i < scans.size(); ++i) {
        std::printf("Percent complete........%i \n", truncatedToInt(static_cast<float>(i) * step));
        bool rotatedWritten = false;
        double turnedBy = NAN;
        status = worse(
            status,
            rotateScan(settings, run.logFile, scans[i], turns[i], table, binary, ranges, rotatedWritten, turnedBy));
        run.rotated[i] = rotatedWritten;
        run.turnedBy[i] = rotatedWritten ? turnedBy : NAN;
        run.headingSigma[i] = rotatedWritten ? turns[i].sigma : NAN;
        medianRange[i] = ranges.median();
    }
    if (!table.close())
        status = worse(status, RunStatus::Failed);
    if (settings.ADJUST != 0 && !writeAdjustmentTable(settings, run.logFile, scans, turns, medianRange))
        status = worse(status, RunStatus::Failed);
    std::printf("Total Time for rotations of %i files is %i seconds \n", static_cast<int32_t>(scans.size()),
                secondsSince(start));
    return status;
}
