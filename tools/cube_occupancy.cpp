#include "tools/cube_occupancy.h"

#include <algorithm>
#include <cmath>

namespace {

int32_t floorDiv(int32_t v, int32_t d) { return v >= 0 ? v / d : -((-v + d - 1) / d); }

int32_t cubeIndex(double v) { return static_cast<int32_t>(std::floor(v)); }

struct Range {
    int32_t lo = 0;  ///< first unit cube
    int32_t hi = 0;  ///< one past the last
};

Range overlap(int32_t a0, int32_t an, int32_t b0, int32_t bn)
{
    return Range{std::max(a0, b0), std::min(a0 + an, b0 + bn)};
}

// Sums of one window's unit counts over the big cubes that cover the ranges.
std::vector<int32_t> aggregate(const CubeCounts& w, const Range& rx, const Range& ry, const Range& rz, int32_t edge)
{
    const int32_t kx0 = floorDiv(rx.lo, edge);
    const int32_t ky0 = floorDiv(ry.lo, edge);
    const int32_t kz0 = floorDiv(rz.lo, edge);
    const int32_t kx = floorDiv(rx.hi - 1, edge) - kx0 + 1;
    const int32_t ky = floorDiv(ry.hi - 1, edge) - ky0 + 1;
    const int32_t kz = floorDiv(rz.hi - 1, edge) - kz0 + 1;
    std::vector<int32_t> sums(static_cast<size_t>(kx) * ky * kz, 0);
    for (int32_t z = rz.lo; z < rz.hi; ++z) {
        for (int32_t y = ry.lo; y < ry.hi; ++y) {
            const size_t row = (static_cast<size_t>(z - w.z0) * w.ny + (y - w.y0)) * w.nx;
            const size_t bigRow = (static_cast<size_t>(floorDiv(z, edge) - kz0) * ky + (floorDiv(y, edge) - ky0)) * kx;
            for (int32_t x = rx.lo; x < rx.hi; ++x) {
                sums[bigRow + (floorDiv(x, edge) - kx0)] += w.counts[row + (x - w.x0)];
            }
        }
    }
    return sums;
}

}  // namespace

CubeCounts makeCubeWindow(double xmin, double xmax, double ymin, double ymax, double zFloor, double zTop)
{
    CubeCounts w;
    w.zFloor = zFloor;
    w.zBase = std::trunc(zFloor);
    w.x0 = cubeIndex(xmin);
    w.y0 = cubeIndex(ymin);
    w.z0 = cubeIndex(zFloor - w.zBase);
    w.nx = cubeIndex(xmax) - w.x0 + 1;
    w.ny = cubeIndex(ymax) - w.y0 + 1;
    w.nz = cubeIndex(zTop - w.zBase) - w.z0 + 1;
    w.counts.assign(static_cast<size_t>(w.nx) * w.ny * w.nz, 0);
    return w;
}

void countPoint(CubeCounts& w, double x, double y, double z)
{
    if (!(z > w.zFloor)) {
        return;
    }
    const int32_t ix = cubeIndex(x) - w.x0;
    const int32_t iy = cubeIndex(y) - w.y0;
    const int32_t iz = cubeIndex(z - w.zBase) - w.z0;
    if (ix < 0 || iy < 0 || iz < 0 || ix >= w.nx || iy >= w.ny || iz >= w.nz) {
        return;
    }
    uint16_t& n = w.counts[(static_cast<size_t>(iz) * w.ny + iy) * w.nx + ix];
    if (n < UINT16_MAX) {
        ++n;
    }
}

int32_t sharedCubes(const CubeCounts& a, const CubeCounts& b, int32_t edge, int32_t minCount)
{
    const Range rx = overlap(a.x0, a.nx, b.x0, b.nx);
    const Range ry = overlap(a.y0, a.ny, b.y0, b.ny);
    const Range rz = overlap(a.z0, a.nz, b.z0, b.nz);
    if (rx.lo >= rx.hi || ry.lo >= ry.hi || rz.lo >= rz.hi || edge < 1) {
        return 0;
    }
    const std::vector<int32_t> sa = aggregate(a, rx, ry, rz, edge);
    const std::vector<int32_t> sb = aggregate(b, rx, ry, rz, edge);
    int32_t shared = 0;
    for (size_t i = 0; i < sa.size(); ++i) {
        if (sa[i] >= minCount && sb[i] >= minCount) {
            ++shared;
        }
    }
    return shared;
}
