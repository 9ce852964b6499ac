#include "batch/runs/scan_rotation.h"

#include "batch/constants.h"
#include "batch/engine/transform.h"
#include "batch/file_ptr.h"
#include "batch/inputs/configuration.h"
#include "batch/inputs/point_files.h"
#include "batch/inputs/survey_database.h"
#include "batch/inputs/text_numbers.h"
#include "batch/int32_range.h"
#include "batch/outputs/number_text.h"
#include "batch/outputs/output_file.h"
#include "batch/outputs/output_names.h"
#include "batch/outputs/point_lines.h"
#include "batch/outputs/text_lines.h"
#include "batch/runs/pair_rows.h"
#include "batch/runs/rotation_table.h"
#include "batch/runs/run_state.h"
#include "batch/runs/survey_adjustment.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>

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

// White space, commas and semicolons: what stands between the columns of a point line.
const char* skipColumnGap(const char* p, const char* end)
{
    while (p < end && (isBlankChar(*p) || *p == ',' || *p == ';'))
        ++p;
    return p;
}

// A seven-column point line: x, y, z, three whole numbers and a real, separated by
// blanks (commas and semicolons are taken as blanks too). Missing extra columns
// are 0; false when the line holds fewer than three numbers.
bool parseRotationPoint(const std::string& line, RotationPoint& p)
{
    const char* s = line.data();
    const char* end = s + line.size();
    double xyz[3];
    for (double& v : xyz) {
        s = skipColumnGap(s, end);
        const char* stop = readReal(s, end, v);
        if (stop == s)
            return false;
        s = stop;
    }
    p = RotationPoint{xyz[0], xyz[1], xyz[2]};
    for (int32_t* v : {&p.a, &p.b, &p.c}) {
        s = skipColumnGap(s, end);
        long long n = 0;
        const char* stop = readWhole(s, end, n);
        if (stop == s)
            return true;
        *v = clampToInt32(n);
        s = stop;
    }
    s = skipColumnGap(s, end);
    double real = 0.0;
    if (readReal(s, end, real) != s)
        p.d = truncatedToInt(real);
    return true;
}

// One line of a rotated file, "%lf %lf %lf %i %i %i %i \n", at `p`; returns its end.
// With `readBack`, what its three reals read back as (NaN where not plain decimals).
char* writeRotatedLine(char* p, double x, double y, double z, const int32_t (&whole)[4], double* readBack = nullptr)
{
    int c = 0;
    for (double v : {x, y, z}) {
        p = writeFixed6(p, v, readBack != nullptr ? readBack + c++ : nullptr);
        *p++ = ' ';
    }
    for (int32_t v : whole) {
        p = writeInteger(p, v);
        *p++ = ' ';
    }
    *p++ = '\n';
    return p;
}

// The point lines of a rotated file, gathered in a block that is written whole, built
// without printf, since a scan has millions of lines.
class PointLines {
public:
    explicit PointLines(std::FILE* out) : out_(out), block_(BLOCK_BYTES) { }

    void add(double x, double y, double z, const int32_t (&whole)[4])
    {
        if (block_.size() - used_ < POINT_LINE_MAX_CHARS)
            flush();
        used_ = static_cast<std::size_t>(writeRotatedLine(block_.data() + used_, x, y, z, whole) - block_.data());
    }

    /// Writes what is gathered; the owner calls it before the file is closed.
    void flush()
    {
        std::fwrite(block_.data(), 1, used_, out_);
        used_ = 0;
    }

private:
    static constexpr std::size_t BLOCK_BYTES = std::size_t(1) << 16;
    std::FILE* out_;
    std::vector<char> block_;
    std::size_t used_ = 0;
};

// How far a scan's points lie from its scanner, horizontally: a count per centimetre.
struct RangeCounts {
    std::vector<int64_t> bins;  ///< points per centimetre of range; the last bin takes every farther point
    int64_t points = 0;

    void reset() { bins.assign(RANGE_BINS, 0), points = 0; }
    void add(double range) { count(binOf(range)); }
    void count(uint32_t bin)
    {
        ++bins[bin];
        ++points;
    }
    static uint32_t binOf(double range)
    {
        const double bin = range * 100.0;
        return bin >= 0.0 && bin < RANGE_BINS - 1 ? static_cast<uint32_t>(bin) : static_cast<uint32_t>(RANGE_BINS - 1);
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

// What the rotation of a scan keeps from scan to scan, so that the memory is reused.
struct RotationBuffers {
    std::vector<CubePoint> block;  ///< a binary scan's points, a block at a time
    std::vector<uint32_t> bins;    ///< per point of a block: its range bin
    std::vector<uint8_t> kept;     ///< per point of a block: not 0 when the filter keeps it
    std::vector<double> values;    ///< per point of a block: x, y, z as its line reads back
    LineChunks chunks;             ///< the block's lines, a chunk per thread
};

struct ScanRotation {
    const RegSettings& settings;
    const ScanRecord& scan;
    RangeCounts& ranges;
    bool rotate = false;
    double cosAngle = 1.0;  ///< of the mean rotation
    double sinAngle = 0.0;
    int32_t written = 0;  ///< points written

    // Text points stand in the survey's own coordinates; binary ones were reduced already.
    // Gives where the point goes and its horizontal range; false when the filter drops it.
    bool turn(const RotationPoint& p, bool reduced, double& x, double& y, double& range) const
    {
        const double tx = reduced ? 0.0 : settings.TRANSX, ty = reduced ? 0.0 : settings.TRANSY;
        x = p.x - tx, y = p.y - ty;
        if (rotate) {
            const double dx = p.x - (tx + scan.x), dy = p.y - (ty + scan.y);
            x = dx * cosAngle - dy * sinAngle + scan.x;
            y = dy * cosAngle + dx * sinAngle + scan.y;
        }
        range = std::sqrt((x - scan.x) * (x - scan.x) + (y - scan.y) * (y - scan.y));
        return settings.APPLYFILTER == 0 || keeps(x, y, p.z);
    }

    void place(const RotationPoint& p, bool reduced, PointLines& out)
    {
        double x = 0.0, y = 0.0, range = 0.0;
        const bool kept = turn(p, reduced, x, y, range);
        ranges.add(range);
        if (!kept)
            return;
        out.add(x, y, p.z, {p.a, p.b, p.c, p.d});
        ++written;
    }

    // A block of binary points on `threads` threads: each point's range bin and line
    // are found at once, the bins counted and the lines written in order afterwards. With
    // `back`, what each line gives when read goes there too; a line that is not plain
    // "%lf" text makes it unusable.
    void placeBlock(const std::vector<CubePoint>& block, int32_t threads, RotationBuffers& b, std::FILE* out,
                    TextReadBack* back)
    {
        b.bins.resize(block.size());
        b.kept.resize(block.size());
        if (back != nullptr)
            b.values.resize(3 * block.size());
        writeLinesInPieces(out, static_cast<int64_t>(block.size()), threads, b.chunks, [&](int64_t i, char* at) {
            const std::size_t k = static_cast<std::size_t>(i);
            const RotationPoint p{block[k].x, block[k].y, block[k].z};
            double x = 0.0, y = 0.0, range = 0.0;
            const bool kept = turn(p, true, x, y, range);
            b.bins[k] = RangeCounts::binOf(range);
            b.kept[k] = kept ? KEPT : 0;
            if (!kept)
                return at;
            double* const values = back != nullptr ? &b.values[3 * k] : nullptr;
            char* const end = writeRotatedLine(at, x, y, p.z, {0, 0, 0, 0}, values);
            if (values != nullptr && (std::isnan(values[0]) || std::isnan(values[1]) || std::isnan(values[2])))
                b.kept[k] = KEPT_NOT_PLAIN;
            return end;
        });
        std::size_t lines = 0;
        for (std::size_t k = 0; k < block.size(); ++k) {
            ranges.count(b.bins[k]);
            if (b.kept[k] == 0)
                continue;
            ++written;
            if (back == nullptr)
                continue;
            back->usable = back->usable && b.kept[k] == KEPT;
            for (std::size_t c = 0; c < 3; ++c)
                b.values[3 * lines + c] = b.values[3 * k + c];
            ++lines;
        }
        if (back != nullptr && back->usable) {
            back->usable = std::fwrite(b.values.data(), 3 * sizeof(double), lines, back->values.get()) == lines;
            back->lines += static_cast<int64_t>(lines);
        }
    }

    static constexpr uint8_t KEPT = 1, KEPT_NOT_PLAIN = 2;

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

// Points of a binary scan turned at a time: a block small enough to stay in the cache.
constexpr std::size_t BINARY_BLOCK_POINTS = std::size_t(1) << 16;

// Rotates one scan by its turn into its rotated file and writes its row of the rotation
// table; counts its points' ranges. Failed when a file could not be written. A binary
// scan goes through `buffers` a block at a time; on several threads, a block per thread.
RunStatus rotateScan(const RegSettings& settings, std::FILE* log, const ScanRecord& scan, const ScanTurn& turn,
                     OutputFile& table, RotationBuffers& buffers, RangeCounts& ranges, bool& rotatedWritten,
                     double& turnedBy, TextReadBack* back)
{
    rotatedWritten = false;
    if (back != nullptr)
        *back = TextReadBack{};
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
    // Binary points stand in the scanner's frame unless told otherwise: the rotation
    // turns them about the scanner in the survey frame. They are read and written a block
    // at a time, never held whole.
    std::optional<BinaryPointStream> binary;
    const Matrix4 m = makeScanTransform(scan.rotX, scan.rotY, scan.rotZ, 1.0, scan.x, scan.y, scan.z);
    const bool transforms = isBinary && settings.SCANTRANSFORM == 0;
    if (isBinary) {
        binary.emplace(input);
        pointLines = binary->count();
        if (transforms && pointLines > 0)
            printScanTransform(m);
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
    PointLines lines(rotated.get());
    if (binary) {
        const int32_t threads = settings.threads;
        std::vector<CubePoint>& block = buffers.block;
        while (binary->next(block, BINARY_BLOCK_POINTS * static_cast<std::size_t>(std::max(threads, 1)))) {
            if (transforms)
                applyScanTransform(block, m, threads);
            if (threads > 1) {
                if (back != nullptr && !back->values) {
                    back->values = FilePtr(std::tmpfile());
                    back->usable = back->values != nullptr;
                }
                rotation.placeBlock(block, threads, buffers, rotated.get(),
                                    back != nullptr && back->values ? back : nullptr);
                continue;
            }
            for (const CubePoint& p : block)
                rotation.place(RotationPoint{p.x, p.y, p.z}, true, lines);
        }
    } else {
        TextLineReader in(input);
        std::string line;
        // The first lines, as many as there are header lines, are copied as headers.
        for (int32_t h = 0; h < headers && in.next(line); ++h)
            std::fprintf(rotated.get(), "%s \n", line.c_str());
        RotationPoint p;
        while (in.next(line))
            if (parseRotationPoint(line, p))
                rotation.place(p, false, lines);
    }
    lines.flush();
    std::fprintf(table.get(), ",%i,%i \n", pointLines, rotation.written);
    const bool tableWritten = table.flush();
    rotatedWritten = rotated.close();
    if (back != nullptr)
        back->usable = back->usable && rotatedWritten && std::fflush(back->values.get()) == 0;
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

RunStatus rotateScans(const RegSettings& settings, RunState& run, const std::vector<ScanRecord>& scans, bool readsBack)
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
    RotationBuffers buffers;  // reused from scan to scan
    RangeCounts ranges;
    std::vector<double> medianRange(scans.size(), NAN);
    run.rotated.assign(scans.size(), false);
    run.rotatedReadBacks.clear();
    run.rotatedReadBacks.resize(scans.size());
    run.turnedBy.assign(scans.size(), NAN);
    run.headingSigma.assign(scans.size(), NAN);
    for (std::size_t i = 0; i < scans.size(); ++i) {
        std::printf("Percent complete........%i \n", truncatedToInt(static_cast<float>(i) * step));
        bool rotatedWritten = false;
        double turnedBy = NAN;
        status = worse(status,
                       rotateScan(settings, run.logFile, scans[i], turns[i], table, buffers, ranges, rotatedWritten,
                                  turnedBy, readsBack ? &run.rotatedReadBacks[i] : nullptr));
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
