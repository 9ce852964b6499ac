#pragma once
// What the summary tells about the points written: their bounding box and how far
// they lie from the scanner.

#include "import/point_sink.h"

#include <cstddef>
#include <cstdint>

struct CloudStats {
    int64_t points = 0;            ///< points added
    double min[3] = {};            ///< metres, lowest x, y, z (valid when points > 0)
    double max[3] = {};            ///< metres, highest x, y, z
    double nearestSquared = 0.0;   ///< square metres, smallest squared distance to the scanner
    double farthestSquared = 0.0;  ///< square metres, largest squared distance to the scanner
    ImportedPoint scanner;         ///< metres, where distances are measured from
};

/// Adds finite points to the box and the distance range.
void addToStats(CloudStats& stats, const ImportedPoint* points, std::size_t count);
