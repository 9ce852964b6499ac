#include "batch/inputs/point_files.h"

#include "batch/file_ptr.h"
#include "batch/inputs/configuration.h"
#include "batch/inputs/text_numbers.h"
#include "batch/inputs/text_pieces.h"
#include "batch/parallel_for.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>

namespace {

// A text point file is read in pieces of at most 255 characters, as a 256-character
// line buffer holds them; each piece counts as a line of its own.
constexpr std::size_t TEXT_PIECE_CHARS = 255;

bool isCommentLine(std::string_view line)
{
    return !line.empty() && (line[0] == '#' || line[0] == 'x' || line[0] == 'X');
}

// One value and the separator character after it, as "%lf%c" reads them.
bool readValueAndSeparator(const char*& p, const char* end, double& value)
{
    const char* stop = readReal(p, end, value);
    if (stop == p || stop == end)
        return false;
    p = stop + 1;
    return true;
}

// x, one separator, y, one separator, z, in the text [p, end) that holds no NUL.
bool parsePoint(const char* p, const char* end, double& x, double& y, double& z)
{
    if (!readValueAndSeparator(p, end, x) || !readValueAndSeparator(p, end, y))
        return false;
    return readReal(p, end, z) != p;
}

// First pass over a text file: pieces that are not comments.
int64_t countCandidateLines(std::FILE* file)
{
    TextPieceReader pieces(file);
    std::string_view piece;
    int64_t count = 0;
    while (pieces.next(TEXT_PIECE_CHARS, piece))
        if (!isCommentLine(beforeNul(piece)))
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

// The point of one text piece, moved by the translation, when it passes the filter.
bool keptPoint(std::string_view piece, const TextFilter& filter, double tx, double ty, CubePoint& p)
{
    const std::string_view line = beforeNul(piece);
    double x = 0.0, y = 0.0, z = 0.0;
    if (isCommentLine(line) || !parsePoint(line.data(), line.data() + line.size(), x, y, z))
        return false;
    x -= tx;
    y -= ty;
    if (!keeps(filter, x, y, z))
        return false;
    p = CubePoint{};
    p.x = x;
    p.y = y;
    p.z = z;
    return true;
}

// The points of a read-back, moved and filtered as keptPoint does, appended to `points`
// until it holds `most`.
void readBack(const TextReadBack& back, const TextFilter& filter, double tx, double ty, int64_t most,
              std::vector<CubePoint>& points)
{
    std::FILE* values = back.values.get();
    std::rewind(values);
    std::vector<double> block(3 * (std::size_t(1) << 16));
    for (std::size_t n; (n = std::fread(block.data(), 3 * sizeof(double), block.size() / 3, values)) > 0;) {
        for (std::size_t i = 0; i < n; ++i) {
            const double x = block[3 * i] - tx, y = block[3 * i + 1] - ty, z = block[3 * i + 2];
            if (!keeps(filter, x, y, z))
                continue;
            if (static_cast<int64_t>(points.size()) >= most)
                return;
            CubePoint p;
            p.x = x;
            p.y = y;
            p.z = z;
            points.push_back(p);
        }
    }
}

// Bytes of a text file each thread takes at a time.
constexpr std::size_t TEXT_BYTES_PER_THREAD = std::size_t(1) << 21;

// The two passes of readTextPoints on several threads: the file goes in blocks, each
// cut into one part per thread at line ends; the parts are counted, or parsed into
// points of their own, at once, and their points joined in order.
class TextInParts {
public:
    explicit TextInParts(int32_t threads) : threads_(threads), found_(static_cast<std::size_t>(threads)) { }

    int64_t countCandidateLines(std::FILE* file)
    {
        std::vector<int64_t> counts(found_.size());
        int64_t count = 0;
        forEachBlock(
            file,
            [&](std::size_t k, std::string_view part) {
                int64_t n = 0;
                std::string_view piece;
                for (const char* at = part.data(); nextPiece(at, part.data() + part.size(), TEXT_PIECE_CHARS, piece);)
                    if (!isCommentLine(beforeNul(piece)))
                        ++n;
                counts[k] = n;
            },
            [&] {
                for (int64_t n : counts)
                    count += n;
                return true;
            });
        return count;
    }

    /// Appends the kept points to `points` until it holds `most`.
    void readPoints(std::FILE* file, const TextFilter& filter, double tx, double ty, int64_t most,
                    std::vector<CubePoint>& points)
    {
        forEachBlock(
            file,
            [&](std::size_t k, std::string_view part) {
                std::vector<CubePoint>& found = found_[k];
                found.clear();
                std::string_view piece;
                CubePoint p;
                for (const char* at = part.data(); nextPiece(at, part.data() + part.size(), TEXT_PIECE_CHARS, piece);)
                    if (keptPoint(piece, filter, tx, ty, p))
                        found.push_back(p);
            },
            [&] {
                for (const std::vector<CubePoint>& found : found_)
                    for (const CubePoint& p : found) {
                        if (static_cast<int64_t>(points.size()) >= most)
                            return false;
                        points.push_back(p);
                    }
                return true;
            });
    }

private:
    // Calls part(k, text) for the parts of every block, on the threads, then joined(),
    // on this thread, until it returns false or the file ends.
    template <class Part, class Joined>
    void forEachBlock(std::FILE* file, Part&& part, Joined&& joined)
    {
        TextBlockReader blocks(file, TEXT_BYTES_PER_THREAD * found_.size(), TEXT_PIECE_CHARS);
        std::string_view block;
        while (blocks.next(block)) {
            cutAfterLineEnds(block, found_.size(), parts_);
            parallelFor(threads_, threads_, 1, [&](int64_t first, int64_t last) {
                for (int64_t k = first; k < last; ++k)
                    part(static_cast<std::size_t>(k), parts_[static_cast<std::size_t>(k)]);
            });
            if (!joined())
                return;
        }
    }

    int32_t threads_;
    std::vector<std::vector<CubePoint>> found_;  ///< per part, its kept points
    std::vector<std::string_view> parts_;
};

}  // namespace

bool isBinaryPointFileName(const std::string& path)
{
    const std::string extension = ".bxyz";
    return path.size() >= extension.size()
        && path.compare(path.size() - extension.size(), extension.size(), extension) == 0;
}

bool parseTextPoint(const char* line, double& x, double& y, double& z)
{
    return parsePoint(line, line + std::strlen(line), x, y, z);
}

namespace {

// Opens a binary point file and prints what the reader says before reading: the size
// lines, or on standard error that it cannot be opened. `count` is the number of whole
// records the file holds (0 when it cannot be opened).
FilePtr openBinaryPoints(const std::string& path, int64_t& count)
{
    count = 0;
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        std::fflush(stdout);
        std::fprintf(stderr, "Could not open input file %s.  Skipping to next! \n", path.c_str());
        std::fprintf(stderr, "\n");
        return file;
    }
    std::error_code error;
    const std::uintmax_t bytes = std::filesystem::file_size(path, error);
    const int64_t size = error ? 0 : static_cast<int64_t>(bytes);
    count = size / POINT_RECORD_BYTES;
    if (count > INT32_MAX)
        count = 0;  // more records than a point count can hold: not a scan we can load
    std::printf("file size: %i\n", static_cast<int32_t>(size));
    std::printf("numpts: %i\n", static_cast<int32_t>(count));
    return file;
}

void reportLoaded(int32_t count)
{
    std::fflush(stdout);
    std::fprintf(stderr, "%i points successfully loaded! \n", count);
}

}  // namespace

int32_t readBinaryPoints(const std::string& path, std::vector<CubePoint>& points)
{
    points.clear();
    int64_t count = 0;
    const FilePtr file = openBinaryPoints(path, count);
    if (file) {
        makeRoomFor(points, static_cast<std::size_t>(count));
        points.resize(static_cast<std::size_t>(count));
        const std::size_t read = std::fread(points.data(), sizeof(CubePoint), points.size(), file.get());
        points.resize(read);
        for (CubePoint& p : points)
            p.cube = p.pad = 0;
    }
    const int32_t loaded = static_cast<int32_t>(points.size());
    reportLoaded(loaded);
    return loaded;
}

BinaryPointStream::BinaryPointStream(const std::string& path)
{
    int64_t count = 0;
    file_ = openBinaryPoints(path, count);
    count_ = static_cast<int32_t>(count);
    reportLoaded(count_);
}

bool BinaryPointStream::next(std::vector<CubePoint>& block, std::size_t maxPoints)
{
    block.clear();
    if (!file_ || read_ >= count_)
        return false;
    const std::size_t wanted = std::min(maxPoints, static_cast<std::size_t>(count_ - read_));
    block.resize(wanted);
    block.resize(std::fread(block.data(), sizeof(CubePoint), wanted, file_.get()));
    for (CubePoint& p : block)
        p.cube = p.pad = 0;
    read_ += static_cast<int32_t>(block.size());
    if (block.size() < wanted)
        read_ = count_;  // the file ended early: nothing more comes
    return !block.empty();
}

int32_t readTextPoints(const std::string& path, const RegSettings& settings, const TextPointOptions& options,
                       std::vector<CubePoint>& points, double& cliffDistance)
{
    return readTextPoints(path, settings, options, points, cliffDistance, nullptr);
}

int32_t readTextPoints(const std::string& path, const RegSettings& settings, const TextPointOptions& options,
                       std::vector<CubePoint>& points, double& cliffDistance, const TextReadBack* back)
{
    if (back != nullptr && !back->usable)
        back = nullptr;
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
        std::optional<TextInParts> inParts;
        if (settings.threads > 1 && back == nullptr)
            inParts.emplace(settings.threads);
        const int64_t lines = back != nullptr ? back->lines
            : inParts                         ? inParts->countCandidateLines(file.get())
                                              : countCandidateLines(file.get());
        file.reset();
        if (lines == 0) {
            std::printf("NO POINTS in file!!!!!  \n");
        } else if (!(file = FilePtr(std::fopen(path.c_str(), "r")))) {
            std::printf("Unable to open data file at %s \n", path.c_str());
        } else {
            std::printf("Loading %i points from file %s \n", static_cast<int32_t>(lines), path.c_str());
            // The first pass counted every line that can hold a point, so one allocation holds them all.
            makeRoomFor(points, static_cast<std::size_t>(lines));
            if (back != nullptr)
                readBack(*back, filter, options.translate ? settings.TRANSX : 0.0,
                         options.translate ? settings.TRANSY : 0.0, lines, points);
            if (inParts) {
                inParts->readPoints(file.get(), filter, options.translate ? settings.TRANSX : 0.0,
                                    options.translate ? settings.TRANSY : 0.0, lines, points);
            }
            if (back != nullptr || inParts) {
                // The sums of the kept points, in their order.
                for (const CubePoint& p : points) {
                    sumX += p.x;
                    sumY += p.y;
                    sumZ += p.z;
                }
            }
            TextPieceReader pieces(back != nullptr || inParts ? nullptr : file.get());
            std::string_view piece;
            while (pieces.next(TEXT_PIECE_CHARS, piece) && static_cast<int64_t>(points.size()) < lines) {
                const std::string_view line = beforeNul(piece);
                double x = 0.0, y = 0.0, z = 0.0;
                if (isCommentLine(line) || !parsePoint(line.data(), line.data() + line.size(), x, y, z))
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
