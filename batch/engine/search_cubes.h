#pragma once

#include "batch/point_set.h"

#include <cstdint>
#include <vector>

struct RegSettings;

// The search-cube grid laid over an overlap box: nx·nz·ny cubes, x varying
// fastest, then z, then y. Only its size lives on (as the outside-grid index).
struct CubeGrid {
    int32_t nx = 0, ny = 0, nz = 0;       ///< cubes along x, y, z
    int32_t cubeCount = 0;                ///< nx·nz·ny; also the index of every point outside
    double x0 = 0.0, y0 = 0.0, z0 = 0.0;  ///< metres, whole-number origin of cube (0, 0, 0)
    double dx = 1.0, dy = 1.0, dz = 1.0;  ///< metres, cube sizes

    /// Two grids that give every point the same cube index.
    bool operator==(const CubeGrid& o) const
    {
        return nx == o.nx && ny == o.ny && nz == o.nz && cubeCount == o.cubeCount && x0 == o.x0 && y0 == o.y0
            && z0 == o.z0 && dx == o.dx && dy == o.dy && dz == o.dz;
    }
};

/// True when the three cube sizes are usable; otherwise prints which key to change.
bool checkCubeSizes(const RegSettings& settings);

/// Builds the grid over `box` with the cube sizes and the z window of `settings`
/// (`zmin` is the lower window). False, with a message, when the sizes are not
/// positive or the grid has more cubes than a 32-bit index can number.
bool buildCubeGrid(const ScanExtent& box, double zmin, const RegSettings& settings, CubeGrid& grid);

/// The cube index of one point: 0 .. cubeCount - 1 inside, cubeCount outside
/// (NaN and infinite coordinates are outside).
int32_t cubeIndexOf(const CubeGrid& grid, double x, double y, double z);

/// Stamps every point with its cube index in `grid`, on up to `threads` threads.
void stampPoints(std::vector<CubePoint>& points, const CubeGrid& grid, int32_t threads = 1);

/// Builds the grid over `box` and stamps every point with its cube index.
/// Returns false (with a message) when the grid cannot be built.
bool assignCubes(std::vector<CubePoint>& points, const ScanExtent& box, double zmin, const RegSettings& settings,
                 int32_t& cubeCount);

// Buffers of the cube sort, kept between sorts so that their memory is reused. A scan of
// more than `roundPoints` points is dealt into cube order in rounds of that many, so that
// the sort never holds a second copy of a large scan (the order is the same).
struct CubeSortBuffers {
    std::size_t roundPoints = std::size_t(1) << 22;  ///< points of one round: 128 MiB beside the pair's scans
    std::vector<CubePoint> points;   ///< the sorted copy, swapped with the input; for a large scan, one round's points
    std::vector<int32_t> next;       ///< per cube: the next free slot of the sorted copy
    std::vector<int32_t> cursor;     ///< per cube: its last slot still free in a round of a large scan
    std::vector<int32_t> pieceNext;  ///< per piece of a sort on several threads, per cube: its next free slot
};

/// Sorts the points by cube index, compared as unsigned 32-bit values (so the outside
/// index of an inverted grid, below 0, sorts last); stable, so the points of one cube
/// keep their order.
void sortByCube(std::vector<CubePoint>& points, CubeSortBuffers& buffers);

/// Stamps every point with its cube index in `grid` and sorts the points by cube, in
/// one pass that stamps and counts and one that deals: the same order as stampPoints
/// followed by sortByCube. On more than one thread each piece of the points counts its
/// own cubes, and deals its points behind those of the pieces before it: the same order.
void stampAndSortByCube(std::vector<CubePoint>& points, const CubeGrid& grid, CubeSortBuffers& buffers,
                        int32_t threads = 1);
