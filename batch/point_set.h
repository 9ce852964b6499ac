#pragma once

// The points of a scan in memory, as the readers load them and the engine works on
// them, and the rules for the large buffers that hold them.

#include "batch/point_formats.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// One point in memory, laid out exactly as the record of a binary point file in both
// builds (on i386 a double is 4-byte aligned, hence the explicit pad).
struct CubePoint {
    double x = 0.0;    ///< metres
    double y = 0.0;    ///< metres
    double z = 0.0;    ///< metres
    int32_t cube = 0;  ///< index of the search cube holding the point
    int32_t pad = 0;   ///< unused; keeps the record at 32 bytes
};
static_assert(sizeof(CubePoint) == POINT_RECORD_BYTES, "CubePoint must match the file record");

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
