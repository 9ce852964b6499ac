#pragma once

#include "batch/engine/search_cubes.h"
#include "batch/point_set.h"

#include <cstdint>
#include <vector>

// The reference scan of a point-to-plane solve, which stays put while the other scan
// turns: its points ordered by search cube and, inside each cube, by a finer sub-cell,
// so that the nearest points of a query point are found by looking into the few
// sub-cells around it, across cube faces where they lie close.
struct ReferenceIndex {
    CubeGrid grid;                                   ///< the pair's search-cube grid
    int32_t split = 1;                               ///< sub-cells along each cube edge
    double hx = 1.0, hy = 1.0, hz = 1.0;             ///< metres, sub-cell sizes
    const std::vector<CubePoint>* points = nullptr;  ///< the reference scan: by cube, then sub-cell
    std::vector<int32_t> cubeStart;  ///< cubeCount + 1 entries: cube c is points[cubeStart[c], cubeStart[c + 1]);
                                     ///< empty for a grid of far more cubes than points (then searched)
    std::vector<int32_t> cubeSlot;   ///< per cube, its row of subStart; -1 for a cube without points
    std::vector<int32_t> subStart;   ///< per occupied cube, split³ + 1 offsets into points (split above 1)
};

/// Fills `index` over reference points sorted by cube in `grid` (as the pair
/// preparation leaves them), which it reorders by sub-cell inside each cube (stable);
/// points outside the grid stay last and are not searched. `scratch` and the buffers of
/// `index` are reused. The cubes are dealt on up to `threads` threads (the same order).
void buildReferenceIndex(std::vector<CubePoint>& sortedByCube, const CubeGrid& grid, ReferenceIndex& index,
                         std::vector<CubePoint>& scratch, int32_t threads = 1);

// A reference point near a query point.
struct Neighbour {
    double d2 = 0.0;     ///< squared metres from the query point
    int32_t index = -1;  ///< in the reference points
};

/// The up to `k` (at most 16) nearest reference points of (x, y, z), nearest first,
/// searched within about one cube around the point's own cube; among equal distances
/// the earlier point ranks first. Returns how many were found; 0 outside the grid.
int32_t nearestReferencePoints(const ReferenceIndex& index, double x, double y, double z, int32_t k,
                               Neighbour* nearest);

constexpr int32_t MAX_NEIGHBOURS = 16;
