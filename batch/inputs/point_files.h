#pragma once

#include "batch/file_ptr.h"
#include "batch/point_formats.h"
#include "batch/point_set.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct RegSettings;

/// True for a name ending in ".bxyz", the extension of binary point files.
bool isBinaryPointFileName(const std::string& path);

/// Loads a binary point file unfiltered into `points` (its capacity is reused).
/// Returns the number of points, 0 when the file cannot be opened or holds less
/// than one record. Messages go to standard error, the two size lines to standard output.
int32_t readBinaryPoints(const std::string& path, std::vector<CubePoint>& points);

// A binary point file read in blocks, for a pass that needs every point once: the
// console shows what readBinaryPoints shows, the count taken from the file's size.
class BinaryPointStream {
public:
    explicit BinaryPointStream(const std::string& path);
    /// The points the file holds; 0 when it cannot be opened.
    int32_t count() const { return count_; }
    /// The next points of the file, at most `maxPoints` (cube stamps 0); false at the end.
    bool next(std::vector<CubePoint>& block, std::size_t maxPoints);

private:
    FilePtr file_;
    int32_t count_ = 0;
    int32_t read_ = 0;
};

// How a text point file is read; the caller knows what the points are for.
struct TextPointOptions {
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
int32_t readTextPoints(const std::string& path, const RegSettings& settings, const TextPointOptions& options,
                       std::vector<CubePoint>& points, double& cliffDistance);

// What a text point file written in this run gives when it is read, kept by its writer
// in binary: every line of the file is a point line of at most one piece, so the reader
// would take each line's x, y and z, which are kept here in the file's order.
struct TextReadBack {
    FilePtr values;     ///< unlinked temporary file: x, y, z of every line, as doubles
    int64_t lines = 0;  ///< lines of the file
    bool usable = false;
};

/// readTextPoints for a file that `back` holds when it is usable (else the file is read
/// as text): the same points, messages and cliff distance, without parsing the text.
int32_t readTextPoints(const std::string& path, const RegSettings& settings, const TextPointOptions& options,
                       std::vector<CubePoint>& points, double& cliffDistance, const TextReadBack* back);

/// Parses one text point line: x, one separator character, y, one separator, z;
/// anything after z is ignored. False when the line gives no point.
bool parseTextPoint(const char* line, double& x, double& y, double& z);

/// True when the file starts like a text file: its first bytes (up to 64) are all
/// printable characters, blanks or line ends. Binary point records never do, since
/// their coordinates hold bytes outside that range.
bool looksLikeText(const std::string& path);

/// The scanner format a file holds when it is one tavrin_import converts (LAS, PLY or
/// PTX), else PointFormat::Unknown. Such a file given where binary points belong is
/// never read as points: its bytes would give nonsense coordinates or none.
PointFormat scannerFormatOf(const std::string& path);

/// When the file holds a scanner format, says so on the console and in the log (when
/// there is one) and returns true.
bool reportScannerFormat(const std::string& path, std::FILE* log);
