#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct RegSettings;

// One point in memory, laid out exactly as the 32-byte record of a binary point
// file in both builds (on i386 a double is 4-byte aligned, hence the explicit pad).
struct CubePoint {
    double x = 0.0;    ///< metres
    double y = 0.0;    ///< metres
    double z = 0.0;    ///< metres
    int32_t cube = 0;  ///< index of the search cube holding the point
    int32_t pad = 0;   ///< unused; keeps the record at 32 bytes
};
static_assert(sizeof(CubePoint) == 32, "CubePoint must match the 32-byte file record");

// Bounding box of a point array.
struct ScanExtent {
    double xmin = 0.0;  ///< metres
    double xmax = 0.0;
    double ymin = 0.0;
    double ymax = 0.0;
    double zmin = 0.0;
    double zmax = 0.0;
};

// The points of one loaded scan.
struct PointSet {
    std::vector<CubePoint> points;  ///< contiguous, sized once per load
    ScanExtent extent;              ///< bounds of `points`
};

/// Asks the system to back a large block with huge pages: the first touch of a fresh
/// 4 KiB page is slow on virtual machines, and a point buffer has thousands of them.
/// Does nothing where the system has no such advice.
void adviseHugePages(void* data, std::size_t bytes);

/// Makes room for `count` points. A buffer too small is emptied and let go before a
/// larger one is taken, so the two blocks are never held at once (its points are lost
/// then); a buffer large enough is left as it is.
void makeRoomFor(std::vector<CubePoint>& points, std::size_t count);

/// True for a name ending in ".bxyz", the extension of binary point files.
bool isBinaryPointFileName(const std::string& path);

/// Loads a binary point file unfiltered into `points` (its capacity is reused).
/// Returns the number of points, 0 when the file cannot be opened or holds less
/// than one record. Messages go to standard error, the two size lines to standard output.
int32_t readBinaryPoints(const std::string& path, std::vector<CubePoint>& points);

// How a text point file is read; the caller knows what the points are for.
struct TextPointPlan {
    bool translate = false;  ///< subtract TRANSX and TRANSY first (original files while registering)
    bool atScanner = true;   ///< the scanner position below is known: filter by range, measure the cliff distance
    double scannerX = 0.0;   ///< metres, translated survey frame
    double scannerY = 0.0;
    double scannerZ = 0.0;
    double zLow = 0.0;  ///< metres, lower z bound of the extent box
};

/// Loads a text point file (x, y, z with one separator character after x and y),
/// applies the translation, extent box and range filters, and sets `cliffDistance`
/// to the scanner's distance to the kept points' mean (0.0 when none is kept; left
/// alone without a scanner position). Returns the number kept. Without a scanner
/// position every point is taken to lie halfway between MINRANGE and MAXRANGE.
int32_t readTextPoints(const std::string& path, const RegSettings& settings, const TextPointPlan& plan,
                       std::vector<CubePoint>& points, double& cliffDistance);

/// Parses one text point line: x, one separator character, y, one separator, z;
/// anything after z is ignored. False when the line gives no point.
bool parseTextPoint(const char* line, double& x, double& y, double& z);

/// True when the file starts like a text file: its first bytes (up to 64) are all
/// printable characters, blanks or line ends. Binary point records never do, since
/// their coordinates hold bytes outside that range.
bool looksLikeText(const std::string& path);

/// The scanner format a file holds when it is one tavrin_import converts ("LAS",
/// "PLY" or "PTX"), or nullptr. Such a file given where binary points belong is
/// never read as points: its bytes would give nonsense coordinates or none.
const char* scannerFormatOf(const std::string& path);

/// When the file holds a scanner format, says so on the console and in the log (when
/// there is one) and returns true.
bool reportScannerFormat(const std::string& path, std::FILE* log);
