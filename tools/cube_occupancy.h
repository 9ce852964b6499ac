#pragma once

// Counts of scan points per 1 m cube, used to estimate how many point pairs the
// registration will find between two neighbouring scans: per search cube it pairs at
// most NUMPPC query points, and only in cubes where both scans hold at least NUMPPC
// points. The cubes here are aligned to whole metres of the translated survey frame
// (as the registration's grid is for 1 m cubes); larger cubes are built from them.

#include <cstdint>
#include <vector>

struct CubeCounts {
    int32_t x0 = 0;  ///< index of the window's first cube along x (cube i spans [i, i + 1) m)
    int32_t y0 = 0;  ///< same along y
    int32_t z0 = 0;  ///< same along z, counted from zBase
    int32_t nx = 0;  ///< window size in cubes
    int32_t ny = 0;
    int32_t nz = 0;
    double zBase = 0.0;            ///< elevation where cube layer 0 starts, metres
    double zFloor = 0.0;           ///< only points strictly above this elevation count
    std::vector<uint16_t> counts;  ///< saturating at 65535; x fastest, then y, then z
};

/// An empty window covering [xmin, xmax] x [ymin, ymax] x [zFloor, zTop] in whole cubes,
/// with layers starting at the whole metre trunc(zFloor).
CubeCounts makeCubeWindow(double xmin, double xmax, double ymin, double ymax, double zFloor, double zTop);

/// Counts one point (translated survey frame); points outside the window are ignored.
void countPoint(CubeCounts& window, double x, double y, double z);

/// Number of cubes of edge `edge` metres (built from edge^3 unit cubes aligned to
/// multiples of `edge`) in which both windows hold at least minCount points.
int32_t sharedCubes(const CubeCounts& a, const CubeCounts& b, int32_t edge, int32_t minCount);
