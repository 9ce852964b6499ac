#pragma once

// One scan's point file, in the scanner's own frame: the batch program's .bxyz, or PLY
// or LAS as a scanner's software exports a scan for the surveyor. Points arrive block by
// block while the scan is cast and leave in one fwrite per 2 MiB; the PLY and LAS headers
// hold the point count, so they are written last, in place over room kept for them.

#include "batch/point_formats.h"
#include "batch/replacement_file.h"
#include "tools/scan_sampler.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

/// Metres per step of the integers a LAS file stores.
constexpr double LAS_SCALE = 0.0001;

// The generator writes PointFormat::Bxyz (8 zero bytes after each point), Ply (binary
// little-endian, one vertex element with double x, y, z) and Las (LAS 1.4 point format 6,
// uncompressed: 0.1 mm steps from an offset in whole metres).

/// "bxyz", "ply", "las" or "e57": the file extension, and the name on the command line.
/// E57 holds the whole survey in one file (tools/e57_file_writer.h), not one scan.
const char* scanFormatName(PointFormat format);
/// The written format of that name; empty for any other text.
std::optional<PointFormat> scanFormatNamed(const std::string& name);

/// The integers of a LAS file's points so far.
struct LasExtent {
    double offset[3] = {0.0, 0.0, 0.0};  ///< metres, scanner frame: the first point in whole metres
    int32_t lowest[3] = {0, 0, 0};       ///< smallest stored integer of x, y, z
    int32_t highest[3] = {0, 0, 0};      ///< largest stored integer of x, y, z
};

class ScanFileWriter {
public:
    /// Creates the file; false (with "Cannot create <path>") when it cannot be created.
    bool open(const std::string& path, PointFormat format);
    /// Appends the scanner-frame coordinates of the points; false once anything failed.
    bool append(const std::vector<ScanPoint>& points);
    /// Writes the header and puts the file in its place; false (with "Cannot write
    /// <path>", and no file left) when any write failed or, in LAS, a point lay beyond the
    /// reach of its 32-bit integers.
    bool finish();
    int64_t bytesWritten() const { return bytes_; }

private:
    bool putLas(const ScanPoint& p, unsigned char* record);
    bool writeBuffer();

    ReplacementFile file_;
    std::string path_;
    PointFormat format_ = PointFormat::Bxyz;
    std::vector<unsigned char> buffer_;
    int64_t bytes_ = 0;   ///< written to the file so far, header room included
    int64_t points_ = 0;  ///< points appended
    bool failed_ = false;
    bool outOfReach_ = false;  ///< a LAS coordinate did not fit its integer
    LasExtent las_;
};
