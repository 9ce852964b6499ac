#include "batch/inputs/point_files.h"

#include "batch/file_ptr.h"
#include "batch/inputs/configuration.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

bool isCommentLine(const char* line) { return line[0] == '#' || line[0] == 'x' || line[0] == 'X'; }

// One value and the separator character after it, as "%lf%c" reads them.
bool readValueAndSeparator(const char*& p, double& value)
{
    char* end = nullptr;
    value = std::strtod(p, &end);
    if (end == p || *end == '\0')
        return false;
    p = end + 1;
    return true;
}

// First pass over a text file: lines (pieces of at most 255 characters) that are not comments.
int64_t countCandidateLines(std::FILE* file)
{
    char line[256];
    int64_t count = 0;
    while (std::fgets(line, sizeof line, file) != nullptr)
        if (!isCommentLine(line))
            ++count;
    return count;
}

struct TextFilter {
    double xmin, xmax, ymin, ymax, zmin, zmax;  ///< extent box, inclusive
    double minRange, maxRange;                  ///< metres from the scanner, inclusive
    bool measureRange;                          ///< false without a scanner position
    double fixedRange;                          ///< the range assumed when not measured
    double sx, sy, sz;                          ///< scanner position
};

bool keeps(const TextFilter& f, double x, double y, double z)
{
    // Written as "keep if inside" so that NaN coordinates are always dropped.
    if (!(f.xmin <= x && x <= f.xmax && f.ymin <= y && y <= f.ymax && f.zmin <= z && z <= f.zmax))
        return false;
    double r = f.fixedRange;
    if (f.measureRange)
        r = std::sqrt((f.sx - x) * (f.sx - x) + (f.sy - y) * (f.sy - y) + (f.sz - z) * (f.sz - z));
    return f.minRange <= r && r <= f.maxRange;
}

}  // namespace

bool isBinaryPointFileName(const std::string& path)
{
    const std::string extension = ".bxyz";
    return path.size() >= extension.size()
        && path.compare(path.size() - extension.size(), extension.size(), extension) == 0;
}

bool parseTextPoint(const char* line, double& x, double& y, double& z)
{
    const char* p = line;
    if (!readValueAndSeparator(p, x) || !readValueAndSeparator(p, y))
        return false;
    char* end = nullptr;
    z = std::strtod(p, &end);
    return end != p;
}

int32_t readBinaryPoints(const std::string& path, std::vector<CubePoint>& points)
{
    points.clear();
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        std::fflush(stdout);
        std::fprintf(stderr, "Could not open input file %s.  Skipping to next! \n", path.c_str());
        std::fprintf(stderr, "\n");
    } else {
        std::error_code error;
        const std::uintmax_t bytes = std::filesystem::file_size(path, error);
        const int64_t size = error ? 0 : static_cast<int64_t>(bytes);
        int64_t count = size / POINT_RECORD_BYTES;
        if (count > INT32_MAX)
            count = 0;  // more records than a point count can hold: not a scan we can load
        std::printf("file size: %i\n", static_cast<int32_t>(size));
        std::printf("numpts: %i\n", static_cast<int32_t>(count));
        makeRoomFor(points, static_cast<std::size_t>(count));
        points.resize(static_cast<std::size_t>(count));
        const std::size_t read = std::fread(points.data(), sizeof(CubePoint), points.size(), file.get());
        points.resize(read);
        for (CubePoint& p : points)
            p.cube = p.pad = 0;
    }
    const int32_t count = static_cast<int32_t>(points.size());
    std::fflush(stdout);
    std::fprintf(stderr, "%i points successfully loaded! \n", count);
    return count;
}

int32_t readTextPoints(const std::string& path, const RegSettings& settings, const TextPointOptions& options,
                       std::vector<CubePoint>& points, double& cliffDistance)
{
    points.clear();
    const TextFilter filter{settings.XMIN,     settings.XMAX,
                            settings.YMIN,     settings.YMAX,
                            options.zLow,      settings.ZMAX,
                            settings.MINRANGE, settings.MAXRANGE,
                            options.atScanner, (settings.MINRANGE + settings.MAXRANGE) * 0.5,
                            options.scannerX,  options.scannerY,
                            options.scannerZ};
    double sumX = 0.0, sumY = 0.0, sumZ = 0.0;

    FilePtr file(std::fopen(path.c_str(), "r"));
    if (!file) {
        std::printf("UNABLE TO OPEN FILE %s \n", path.c_str());
        std::printf("NO POINTS in file!!!!!  \n");
    } else {
        const int64_t lines = countCandidateLines(file.get());
        file.reset();
        if (lines == 0) {
            std::printf("NO POINTS in file!!!!!  \n");
        } else if (!(file = FilePtr(std::fopen(path.c_str(), "r")))) {
            std::printf("Unable to open data file at %s \n", path.c_str());
        } else {
            std::printf("Loading %i points from file %s \n", static_cast<int32_t>(lines), path.c_str());
            // The first pass counted every line that can hold a point, so one allocation holds them all.
            makeRoomFor(points, static_cast<std::size_t>(lines));
            char line[256];
            while (std::fgets(line, sizeof line, file.get()) != nullptr
                   && static_cast<int64_t>(points.size()) < lines) {
                double x = 0.0, y = 0.0, z = 0.0;
                if (isCommentLine(line) || !parseTextPoint(line, x, y, z))
                    continue;
                if (options.translate) {
                    x -= settings.TRANSX;
                    y -= settings.TRANSY;
                }
                if (!keeps(filter, x, y, z))
                    continue;
                CubePoint p;
                p.x = x;
                p.y = y;
                p.z = z;
                sumX += x;
                sumY += y;
                sumZ += z;
                points.push_back(p);
            }
        }
    }
    const int32_t kept = static_cast<int32_t>(points.size());
    if (options.atScanner) {
        cliffDistance = 0.0;
        if (kept > 0) {
            const double mx = sumX / kept, my = sumY / kept, mz = sumZ / kept;
            const double sx = options.scannerX, sy = options.scannerY, sz = options.scannerZ;
            cliffDistance = std::sqrt((sx - mx) * (sx - mx) + (sy - my) * (sy - my) + (sz - mz) * (sz - mz));
        }
        std::printf("Cliff Distance %lf \n", cliffDistance);
    }
    std::printf("Finished loading %i points\n", kept);
    return kept;
}

bool looksLikeText(const std::string& path)
{
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return false;
    unsigned char start[64];
    const std::size_t n = std::fread(start, 1, sizeof start, file.get());
    if (n == 0)
        return false;
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char c = start[i];
        if (!((c >= 0x20 && c < 0x7f) || c == '\n' || c == '\r' || c == '\t'))
            return false;
    }
    return true;
}

namespace {

// True when `line` (up to its line end) holds one whole number and nothing else but blanks.
bool isLoneWholeNumber(const std::string& line)
{
    std::size_t digits = 0, i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i)
        ++digits;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r'))
        ++i;
    return digits > 0 && i == line.size();
}

}  // namespace

PointFormat scannerFormatOf(const std::string& path)
{
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return PointFormat::Unknown;
    char start[256];
    const std::string head(start, std::fread(start, 1, sizeof start, file.get()));
    if (head.compare(0, 4, "LASF") == 0)
        return PointFormat::Las;
    if (head.compare(0, 4, "ply\n") == 0 || head.compare(0, 4, "ply\r") == 0)
        return PointFormat::Ply;
    if (head.compare(0, 8, "ASTM-E57") == 0)
        return PointFormat::E57;
    // A PTX scan opens with its column and row counts, one to a line.
    const std::size_t first = head.find('\n');
    const std::size_t second = first == std::string::npos ? first : head.find('\n', first + 1);
    if (second != std::string::npos && isLoneWholeNumber(head.substr(0, first))
        && isLoneWholeNumber(head.substr(first + 1, second - first - 1)))
        return PointFormat::Ptx;
    return PointFormat::Unknown;
}

bool reportScannerFormat(const std::string& path, std::FILE* log)
{
    const PointFormat found = scannerFormatOf(path);
    if (found == PointFormat::Unknown)
        return false;
    const char* format = pointFormatName(found);
    std::printf("%s is a %s file, not Tavrin binary points: convert it with tavrin_import\n", path.c_str(), format);
    if (log != nullptr)
        std::fprintf(log, "%s is a %s file, not Tavrin binary points: convert it with tavrin_import\n", path.c_str(),
                     format);
    return true;
}
