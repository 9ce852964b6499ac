#include "batch/engine/reference_index.h"

#include "batch/parallel_for.h"

#include <algorithm>
#include <cmath>

namespace {

// Sub-cells per cube edge: about a dozen points in each sub-cell that a surface
// crosses (a surface crosses about split² of the split³ sub-cells of a cube).
int32_t chooseSplit(int64_t points, int64_t occupiedCubes)
{
    if (occupiedCubes <= 0)
        return 1;
    const double perCube = static_cast<double>(points) / static_cast<double>(occupiedCubes);
    const double split = std::floor(std::sqrt(perCube / 12.0) + 0.5);
    return static_cast<int32_t>(std::min(6.0, std::max(1.0, split)));
}

// The position of a point along one axis in sub-cells from the grid's origin.
int64_t subCellOf(double v, double origin, double size)
{
    return static_cast<int64_t>(std::floor((v - origin) / size));
}

// Keeps the k nearest, sorted by distance; a later point of equal distance stays behind.
struct NearestList {
    Neighbour* items;
    int32_t k;
    int32_t count = 0;

    double bound() const { return count < k ? HUGE_VAL : items[count - 1].d2; }

    void offer(double d2, int32_t index)
    {
        if (!(d2 < bound()))
            return;
        int32_t at = count < k ? count++ : k - 1;
        while (at > 0 && items[at - 1].d2 > d2) {
            items[at] = items[at - 1];
            --at;
        }
        items[at] = Neighbour{d2, index};
    }
};

// Points below which the index is built on one thread.
constexpr int64_t INDEX_PIECE = 1 << 16;

// The first index at or after `i` that starts a cube's run.
std::size_t runStartFrom(const std::vector<CubePoint>& points, std::size_t i)
{
    while (i > 0 && i < points.size() && points[i].cube == points[i - 1].cube)
        ++i;
    return i;
}

// Deals the cube runs of the points [from, to) (cut at cube starts) into their
// sub-cells, each by a stable counting sort of its own through a scratch copy of the
// run. A point's sub-cell is counted from the grid's origin exactly as a query point's
// is, held inside the point's own cube.
void sortRunsBySubCell(std::vector<CubePoint>& sortedByCube, std::size_t from, std::size_t end, ReferenceIndex& index,
                       std::vector<CubePoint>& scratch)
{
    const CubeGrid& grid = index.grid;
    const int32_t s = index.split;
    const int32_t subCells = s * s * s;
    std::vector<int32_t> next(static_cast<std::size_t>(subCells) + 1);
    while (from < end) {
        const int32_t c = sortedByCube[from].cube;
        std::size_t to = from;
        while (to < end && sortedByCube[to].cube == c)
            ++to;
        if (c >= 0 && c < grid.cubeCount) {
            const int32_t base = index.cubeStart[static_cast<std::size_t>(c)];
            scratch.assign(sortedByCube.begin() + static_cast<std::ptrdiff_t>(from),
                           sortedByCube.begin() + static_cast<std::ptrdiff_t>(to));
            const int64_t cx = c % grid.nx, cz = (c / grid.nx) % grid.nz,
                          cy = c / (static_cast<int64_t>(grid.nx) * grid.nz);
            auto local = [s](double v, double origin, double size, int64_t cube) {
                return std::clamp<int64_t>(subCellOf(v, origin, size) - cube * s, 0, s - 1);
            };
            auto subOf = [&](const CubePoint& p) {
                return static_cast<int32_t>(
                    local(p.x, grid.x0, index.hx, cx)
                    + s * (local(p.z, grid.z0, index.hz, cz) + s * local(p.y, grid.y0, index.hy, cy)));
            };
            std::fill(next.begin(), next.end(), 0);
            for (const CubePoint& p : scratch)
                ++next[static_cast<std::size_t>(subOf(p)) + 1];
            int32_t* sub =
                &index.subStart[static_cast<std::size_t>(index.cubeSlot[static_cast<std::size_t>(c)]) * (subCells + 1)];
            for (int32_t k = 0; k < subCells; ++k) {
                next[static_cast<std::size_t>(k) + 1] += next[static_cast<std::size_t>(k)];
                sub[k] = base + next[static_cast<std::size_t>(k)];
            }
            sub[subCells] = base + next[static_cast<std::size_t>(subCells)];
            for (const CubePoint& p : scratch) {
                const int32_t k = subOf(p);
                sortedByCube[static_cast<std::size_t>(base + next[static_cast<std::size_t>(k)]++)] = p;
            }
        }
        from = to;
    }
}

}  // namespace

void buildReferenceIndex(std::vector<CubePoint>& sortedByCube, const CubeGrid& grid, ReferenceIndex& index,
                         std::vector<CubePoint>& scratch, int32_t threads)
{
    index.grid = grid;
    index.points = &sortedByCube;
    index.split = 1;
    index.hx = grid.dx;
    index.hy = grid.dy;
    index.hz = grid.dz;
    index.cubeStart.clear();
    index.cubeSlot.clear();
    index.subStart.clear();
    const int64_t cubes = grid.cubeCount;
    const int64_t n = static_cast<int64_t>(sortedByCube.size());
    // A grid of far more cubes than points gets no table of them: its cubes are found
    // by bisection, without sub-cells.
    if (cubes <= 0 || cubes > 4 * n + 65536)
        return;
    std::vector<int32_t>& start = index.cubeStart;
    std::vector<int32_t>& slot = index.cubeSlot;
    start.assign(static_cast<std::size_t>(cubes) + 1, 0);
    slot.assign(static_cast<std::size_t>(cubes), -1);
    int32_t occupied = 0, inside = 0;
    for (const CubePoint& p : sortedByCube) {
        if (p.cube < 0 || p.cube >= grid.cubeCount)
            continue;
        if (slot[static_cast<std::size_t>(p.cube)] < 0)
            slot[static_cast<std::size_t>(p.cube)] = occupied++;
        ++start[static_cast<std::size_t>(p.cube) + 1];
        ++inside;
    }
    for (std::size_t c = 1; c < start.size(); ++c)
        start[c] += start[c - 1];

    const int32_t s = chooseSplit(inside, occupied);
    index.split = s;
    index.hx = grid.dx / s;
    index.hy = grid.dy / s;
    index.hz = grid.dz / s;
    const int32_t subCells = s * s * s;
    index.subStart.resize(s > 1 ? static_cast<std::size_t>(occupied) * (subCells + 1) : 0);

    // The input is sorted by cube: each cube's run is dealt into its sub-cells by a
    // stable counting sort of its own, through a scratch copy of the run. The runs are
    // apart from each other, so pieces of them go to the threads, each piece cut at a
    // cube's start, with a scratch copy of its own.
    if (s <= 1)
        return;
    const int64_t pieces = threads > 1 && n >= 2 * INDEX_PIECE ? threads : 1;
    std::vector<std::vector<CubePoint>> scratches(static_cast<std::size_t>(pieces - 1));
    parallelFor(static_cast<int32_t>(pieces), pieces, 1, [&](int64_t first, int64_t last) {
        for (int64_t k = first; k < last; ++k) {
            std::vector<CubePoint>& own = k == 0 ? scratch : scratches[static_cast<std::size_t>(k - 1)];
            const std::size_t from = runStartFrom(sortedByCube, static_cast<std::size_t>(n * k / pieces));
            const std::size_t to = runStartFrom(sortedByCube, static_cast<std::size_t>(n * (k + 1) / pieces));
            sortRunsBySubCell(sortedByCube, from, to, index, own);
        }
    });
}

namespace {

// Along one axis, the sub-cells a search around a point may look into: for each, its
// cube, its place inside the cube and the squared gap from the point to it.
struct AxisReach {
    int64_t cube[2 * 6 + 1];
    int64_t sub[2 * 6 + 1];
    double gap2[2 * 6 + 1];
    int64_t first = 0, count = 0;  ///< the sub-cells own - reach .. own + reach that exist
};

void reachAlong(AxisReach& a, int64_t own, int64_t cells, int32_t split, int32_t reach, double v, double origin,
                double size)
{
    a.first = own - reach;
    a.count = 0;
    for (int64_t c = own - reach; c <= own + reach; ++c) {
        const int64_t k = c - a.first;
        a.cube[k] = c / split;
        a.sub[k] = c % split;
        const double low = origin + static_cast<double>(c) * size;
        const double gap = v < low ? low - v : v > low + size ? v - low - size : 0.0;
        a.gap2[k] = c >= 0 && c < cells ? gap * gap : HUGE_VAL;  // outside the grid: never looked into
        ++a.count;
    }
}

// The run of cube `cube` in the reference points.
void cubeRange(const ReferenceIndex& index, int64_t cube, int32_t& first, int32_t& last)
{
    if (!index.cubeStart.empty()) {
        first = index.cubeStart[static_cast<std::size_t>(cube)];
        last = index.cubeStart[static_cast<std::size_t>(cube) + 1];
        return;
    }
    const std::vector<CubePoint>& points = *index.points;
    const auto byCube = [](const CubePoint& p, int64_t c) { return p.cube < c; };
    const auto run = std::lower_bound(points.begin(), points.end(), cube, byCube);
    auto end = run;
    while (end != points.end() && end->cube == cube)
        ++end;
    first = static_cast<int32_t>(run - points.begin());
    last = static_cast<int32_t>(end - points.begin());
}

}  // namespace

int32_t nearestReferencePoints(const ReferenceIndex& index, double x, double y, double z, int32_t k, Neighbour* nearest)
{
    const CubeGrid& g = index.grid;
    const int32_t s = index.split;
    const int64_t gx = subCellOf(x, g.x0, index.hx), gy = subCellOf(y, g.y0, index.hy),
                  gz = subCellOf(z, g.z0, index.hz);
    const int64_t nx = static_cast<int64_t>(g.nx) * s, ny = static_cast<int64_t>(g.ny) * s,
                  nz = static_cast<int64_t>(g.nz) * s;
    if (!(gx >= 0 && gy >= 0 && gz >= 0 && gx < nx && gy < ny && gz < nz))
        return 0;
    AxisReach ax, ay, az;
    reachAlong(ax, gx, nx, s, s, x, g.x0, index.hx);
    reachAlong(ay, gy, ny, s, s, y, g.y0, index.hy);
    reachAlong(az, gz, nz, s, s, z, g.z0, index.hz);
    const int64_t cubesPerLayer = static_cast<int64_t>(g.nx) * g.nz;
    const int32_t subCells = s * s * s;
    const std::vector<CubePoint>& points = *index.points;
    NearestList list{nearest, std::min(k, MAX_NEIGHBOURS)};
    // Rings of sub-cells around the point's own, out to one cube; a ring whose nearest
    // possible point lies beyond the k-th found ends the search.
    const double h = std::fmin(index.hx, std::fmin(index.hy, index.hz));
    for (int32_t ring = 0; ring <= s; ++ring) {
        const double reach = (static_cast<double>(ring) - 1.0) * h;
        if (ring > 1 && reach * reach >= list.bound())
            break;
        for (int64_t jy = s - ring; jy <= s + ring; ++jy) {
            const double gapY = ay.gap2[jy];
            if (!(gapY < list.bound()))
                continue;
            for (int64_t jz = s - ring; jz <= s + ring; ++jz) {
                const double gapYZ = gapY + az.gap2[jz];
                if (!(gapYZ < list.bound()))
                    continue;
                const bool onShell = jy == s - ring || jy == s + ring || jz == s - ring || jz == s + ring;
                const int64_t stride = onShell || ring == 0 ? 1 : 2 * ring;
                for (int64_t jx = s - ring; jx <= s + ring; jx += stride) {
                    if (!(gapYZ + ax.gap2[jx] < list.bound()))
                        continue;
                    const int64_t cube = ax.cube[jx] + g.nx * az.cube[jz] + cubesPerLayer * ay.cube[jy];
                    int32_t first = 0, last = 0;
                    cubeRange(index, cube, first, last);
                    if (s > 1 && first < last) {
                        const int64_t sub = ax.sub[jx] + s * (az.sub[jz] + s * ay.sub[jy]);
                        const int32_t row = index.cubeSlot[static_cast<std::size_t>(cube)];
                        const int32_t* offsets = &index.subStart[static_cast<std::size_t>(row) * (subCells + 1)];
                        first = offsets[sub];
                        last = offsets[sub + 1];
                    }
                    for (int32_t r = first; r < last; ++r) {
                        const CubePoint& p = points[static_cast<std::size_t>(r)];
                        const double dx = p.x - x, dy = p.y - y, dz = p.z - z;
                        list.offer(dx * dx + dy * dy + dz * dz, r);
                    }
                }
            }
        }
    }
    return list.count;
}
