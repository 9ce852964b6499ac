#include "batch/engine/search_cubes.h"

#include "batch/inputs/configuration.h"
#include "batch/parallel_for.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// A cube count along one axis: trunc(extent / size) + 2, where the truncation
// takes any value between -1 and 0 to 0. False when it does not fit 32 bits.
bool axisCount(double extent, double size, int32_t& count)
{
    const double n = std::trunc(extent / size) + 2.0;
    if (!(n >= INT32_MIN && n <= INT32_MAX))
        return false;
    count = static_cast<int32_t>(n);
    return true;
}

void printGridTooLarge()
{
    std::printf("The search cube grid is too large for this pair of scans: "
                "increase dCX, dCY and dCZ in the configuration file. \n");
}

uint32_t unsignedCube(const CubePoint& p) { return static_cast<uint32_t>(p.cube); }

// Deals `points` into cube order through `spare`, one round of at most spare.size() slots
// at a time; `start` holds the first slot of every cube and, last, the point count.
// Round r takes the points of slots [lo, lo + S): walking the points not yet dealt from
// the last, the last point of each cube takes the cube's last slot still free, so each
// cube keeps the points' order. The points of later rounds move up into one block
// behind, and the slots their move freed take the next round's points, which are thus
// one round too early: the last step moves them all up by one round and puts the first
// round's points, held in `spare`, in front.
void dealInRounds(std::vector<CubePoint>& points, const std::vector<int32_t>& start, std::vector<int32_t>& cursor,
                  std::vector<CubePoint>& spare)
{
    const std::size_t n = points.size(), round = spare.size();
    const std::size_t cubes = start.size() - 1;
    cursor.resize(cubes);
    for (std::size_t lo = 0; lo < n; lo += round) {
        const std::size_t hi = std::min(n, lo + round);
        CubePoint* dealt = lo == 0 ? spare.data() : points.data() + (lo - round);
        for (std::size_t c = 0; c < cubes; ++c)
            cursor[c] = start[c + 1];
        std::size_t kept = n;  // points of later rounds fill [hi, n) from the top down
        for (std::size_t i = n; i-- > lo;) {
            const CubePoint p = points[i];
            const std::size_t slot = static_cast<std::size_t>(--cursor[unsignedCube(p)]);
            if (slot < hi)
                dealt[slot - lo] = p;
            else
                points[--kept] = p;
        }
    }
    std::copy_backward(points.begin(), points.end() - static_cast<std::ptrdiff_t>(round), points.end());
    std::copy(spare.begin(), spare.end(), points.begin());
}

// The second half of the counting sort: buffers.next holds each cube's count at
// [cube + 1]; turns the counts into starts and moves every point to its place.
void placeByCounts(std::vector<CubePoint>& points, CubeSortBuffers& buffers)
{
    std::vector<int32_t>& next = buffers.next;
    for (std::size_t c = 1; c < next.size(); ++c)
        next[c] += next[c - 1];
    std::vector<CubePoint>& sorted = buffers.points;
    if (buffers.roundPoints > 0 && points.size() > buffers.roundPoints) {
        makeRoomFor(sorted, buffers.roundPoints);
        sorted.resize(buffers.roundPoints);
        dealInRounds(points, next, buffers.cursor, sorted);
        return;
    }
    makeRoomFor(sorted, points.size());
    sorted.resize(points.size());
    for (const CubePoint& p : points)
        sorted[static_cast<std::size_t>(next[unsignedCube(p)]++)] = p;
    points.swap(sorted);
    // The unsorted copy is what the next sort deals into; one left by a large scan is let
    // go, so that the sort's own buffer never grows beyond one round.
    if (buffers.roundPoints > 0 && sorted.capacity() > buffers.roundPoints)
        std::vector<CubePoint>().swap(sorted);
}

// Points below which a pass of the sort stays on one thread.
constexpr int64_t SORT_PIECE = 1 << 16;

// The sort goes in pieces when there are points enough for every thread, the scan is
// dealt in one go, and the pieces' counts stay small beside the points.
bool sortsInPieces(std::size_t points, uint64_t buckets, const CubeSortBuffers& buffers, int32_t threads)
{
    if (threads <= 1 || points < static_cast<std::size_t>(2 * SORT_PIECE))
        return false;
    if (buffers.roundPoints > 0 && points > buffers.roundPoints)
        return false;
    return static_cast<uint64_t>(threads) * (buckets + 1) <= points;
}

// stampAndSortByCube on `threads` threads: piece k of the points counts its cubes into
// its own row of buffers.pieceNext; the rows, taken cube by cube and in piece order
// within a cube, turn into each piece's first free slot in every cube, so piece k deals
// its points right behind those of pieces 0 .. k - 1 in the same cube: the order of
// the single pass.
void stampAndSortInPieces(std::vector<CubePoint>& points, const CubeGrid& grid, CubeSortBuffers& buffers,
                          int32_t threads)
{
    const std::size_t n = points.size(), row = static_cast<std::size_t>(grid.cubeCount) + 1;
    const auto pieceBegin = [&](int64_t k) { return static_cast<std::size_t>(static_cast<int64_t>(n) * k / threads); };
    std::vector<int32_t>& next = buffers.pieceNext;
    next.assign(row * static_cast<std::size_t>(threads), 0);
    parallelFor(threads, threads, 1, [&](int64_t first, int64_t last) {
        for (int64_t k = first; k < last; ++k) {
            int32_t* counts = next.data() + row * static_cast<std::size_t>(k);
            for (std::size_t i = pieceBegin(k); i < pieceBegin(k + 1); ++i) {
                CubePoint& p = points[i];
                p.cube = cubeIndexOf(grid, p.x, p.y, p.z);
                ++counts[static_cast<std::size_t>(p.cube)];
            }
        }
    });
    int32_t slot = 0;
    for (std::size_t c = 0; c < row; ++c) {
        for (std::size_t k = 0; k < static_cast<std::size_t>(threads); ++k) {
            int32_t& at = next[row * k + c];
            const int32_t count = at;
            at = slot;
            slot += count;
        }
    }
    std::vector<CubePoint>& sorted = buffers.points;
    makeRoomFor(sorted, n);
    sorted.resize(n);
    parallelFor(threads, threads, 1, [&](int64_t first, int64_t last) {
        for (int64_t k = first; k < last; ++k) {
            int32_t* free = next.data() + row * static_cast<std::size_t>(k);
            for (std::size_t i = pieceBegin(k); i < pieceBegin(k + 1); ++i)
                sorted[static_cast<std::size_t>(free[static_cast<std::size_t>(points[i].cube)]++)] = points[i];
        }
    });
    points.swap(sorted);
    if (buffers.roundPoints > 0 && sorted.capacity() > buffers.roundPoints)
        std::vector<CubePoint>().swap(sorted);
}

}  // namespace

bool checkCubeSizes(const RegSettings& settings)
{
    const struct {
        const char* key;
        double size;
    } sizes[] = {{"dCX", settings.dCX}, {"dCY", settings.dCY}, {"dCZ", settings.dCZ}};
    for (const auto& s : sizes) {
        if (!(s.size > 0.0 && std::isfinite(s.size))) {
            std::printf("Search cube size %s = %lf cannot be used: change %s in the configuration "
                        "file to a size greater than 0. \n",
                        s.key, s.size, s.key);
            return false;
        }
    }
    return true;
}

bool buildCubeGrid(const ScanExtent& box, double zmin, const RegSettings& s, CubeGrid& grid)
{
    if (!checkCubeSizes(s))
        return false;
    grid.dx = s.dCX;
    grid.dy = s.dCY;
    grid.dz = s.dCZ;
    const bool zWindowInside = box.zmax > s.ZMAX && zmin > box.zmin;
    const double zExtent = zWindowInside ? s.ZMAX - zmin : box.zmax - box.zmin;
    if (!axisCount(box.xmax - box.xmin, s.dCX, grid.nx) || !axisCount(box.ymax - box.ymin, s.dCY, grid.ny)
        || !axisCount(zExtent, s.dCZ, grid.nz)) {
        printGridTooLarge();
        return false;
    }
    // Three 32-bit counts can multiply past 64 bits: check the product in double first.
    // The count itself is the outside index, so it must stay below the largest 32-bit value.
    const double cubes = static_cast<double>(grid.nx) * grid.nz * grid.ny;
    if (!(cubes < INT32_MAX && cubes > INT32_MIN)) {
        printGridTooLarge();
        return false;
    }
    grid.cubeCount = static_cast<int32_t>(static_cast<int64_t>(grid.nx) * grid.nz * grid.ny);
    grid.x0 = std::trunc(box.xmin - s.dCX);
    grid.y0 = std::trunc(box.ymin - s.dCY);
    grid.z0 = zmin > box.zmin ? std::trunc(zmin) : std::trunc(box.zmin - s.dCZ);
    return true;
}

int32_t cubeIndexOf(const CubeGrid& g, double x, double y, double z)
{
    const double ix = std::trunc((x - g.x0) / g.dx);
    const double iy = std::trunc((y - g.y0) / g.dy);
    const double iz = std::trunc((z - g.z0) / g.dz);
    // Written as "inside" tests so that NaN falls outside; -0.0 counts as 0.
    if (!(ix >= 0.0 && iy >= 0.0 && iz >= 0.0 && ix < g.nx && iy < g.ny && iz < g.nz))
        return g.cubeCount;
    const int64_t index = static_cast<int64_t>(ix) + static_cast<int64_t>(g.nx) * static_cast<int64_t>(iz)
        + static_cast<int64_t>(g.nx) * g.nz * static_cast<int64_t>(iy);
    return static_cast<int32_t>(index);
}

void stampPoints(std::vector<CubePoint>& points, const CubeGrid& grid, int32_t threads)
{
    parallelFor(threads, static_cast<int64_t>(points.size()), SORT_PIECE, [&](int64_t begin, int64_t end) {
        for (int64_t i = begin; i < end; ++i) {
            CubePoint& p = points[static_cast<std::size_t>(i)];
            p.cube = cubeIndexOf(grid, p.x, p.y, p.z);
        }
    });
}

bool assignCubes(std::vector<CubePoint>& points, const ScanExtent& box, double zmin, const RegSettings& settings,
                 int32_t& cubeCount)
{
    CubeGrid grid;
    if (!buildCubeGrid(box, zmin, settings, grid))
        return false;
    cubeCount = grid.cubeCount;
    stampPoints(points, grid);
    return true;
}

void sortByCube(std::vector<CubePoint>& points, CubeSortBuffers& buffers)
{
    if (points.empty())
        return;
    uint32_t largest = 0;
    bool inOrder = true;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const uint32_t cube = unsignedCube(points[i]);
        inOrder = inOrder && (i == 0 || unsignedCube(points[i - 1]) <= cube);
        largest = std::max(largest, cube);
    }
    // Already in cube order (a copy turned so little that no point changed cube):
    // the stable sort would leave it as it is.
    if (inOrder)
        return;
    // A counting sort when the buckets are few compared with the points; a grid
    // much larger than the scans falls back to a stable comparison sort, which
    // gives the same order.
    const uint64_t buckets = static_cast<uint64_t>(largest) + 1;
    if (buckets > 4 * static_cast<uint64_t>(points.size()) + 65536) {
        std::stable_sort(points.begin(), points.end(),
                         [](const CubePoint& a, const CubePoint& b) { return unsignedCube(a) < unsignedCube(b); });
        return;
    }
    std::vector<int32_t>& next = buffers.next;
    next.assign(static_cast<std::size_t>(buckets) + 1, 0);
    for (const CubePoint& p : points)
        ++next[unsignedCube(p) + 1];
    placeByCounts(points, buffers);
}

void stampAndSortByCube(std::vector<CubePoint>& points, const CubeGrid& grid, CubeSortBuffers& buffers, int32_t threads)
{
    // Every index lies in 0 .. cubeCount, so the counting sort needs cubeCount + 1
    // buckets; a grid much larger than the scans takes the two steps one by one.
    const uint64_t buckets = grid.cubeCount > 0 ? static_cast<uint64_t>(grid.cubeCount) + 1 : 0;
    if (points.empty() || buckets == 0 || buckets > 4 * static_cast<uint64_t>(points.size()) + 65536) {
        stampPoints(points, grid, threads);
        sortByCube(points, buffers);
        return;
    }
    if (sortsInPieces(points.size(), buckets, buffers, threads)) {
        stampAndSortInPieces(points, grid, buffers, threads);
        return;
    }
    std::vector<int32_t>& next = buffers.next;
    next.assign(static_cast<std::size_t>(buckets) + 1, 0);
    if (threads > 1) {
        stampPoints(points, grid, threads);
        for (const CubePoint& p : points)
            ++next[static_cast<std::size_t>(p.cube) + 1];
    } else {
        for (CubePoint& p : points) {
            p.cube = cubeIndexOf(grid, p.x, p.y, p.z);
            ++next[static_cast<std::size_t>(p.cube) + 1];
        }
    }
    placeByCounts(points, buffers);
}
