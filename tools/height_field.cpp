#include "tools/height_field.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double NONE = std::numeric_limits<double>::quiet_NaN();
constexpr double FAR = 1e300;
// A node without a point within the radius looks up to this many times as far: the
// ground under a house has no points.
constexpr int32_t RADIUS_GROWTHS = 10;

// Points sorted by grid cell (counting sort, input order kept within a cell):
// cell c holds order[start[c] .. start[c + 1]).
struct CellIndex {
    int32_t cols = 0;
    int32_t rows = 0;
    std::vector<int32_t> start;
    std::vector<int32_t> order;
};

int32_t cellOf(double v, double v0, double step, int32_t count)
{
    const int32_t i = static_cast<int32_t>(std::floor((v - v0) / step));
    return std::clamp(i, 0, count - 1);
}

CellIndex indexPoints(const HeightField& f, const std::vector<FieldPoint>& points)
{
    CellIndex idx;
    idx.cols = f.nx;
    idx.rows = f.ny;
    const size_t cells = static_cast<size_t>(idx.cols) * static_cast<size_t>(idx.rows);
    std::vector<int32_t> cellOfPoint(points.size());
    idx.start.assign(cells + 1, 0);
    for (size_t k = 0; k < points.size(); ++k) {
        const int32_t c =
            cellOf(points[k].y, f.y0, f.step, idx.rows) * idx.cols + cellOf(points[k].x, f.x0, f.step, idx.cols);
        cellOfPoint[k] = c;
        ++idx.start[static_cast<size_t>(c) + 1];
    }
    for (size_t c = 0; c < cells; ++c) {
        idx.start[c + 1] += idx.start[c];
    }
    std::vector<int32_t> next(idx.start.begin(), idx.start.end() - 1);
    idx.order.resize(points.size());
    for (size_t k = 0; k < points.size(); ++k) {
        idx.order[static_cast<size_t>(next[static_cast<size_t>(cellOfPoint[k])]++)] = static_cast<int32_t>(k);
    }
    return idx;
}

// Weighted mean of the points within `radius` of node (i, j); NaN when there are none.
double nodeHeight(const HeightField& f, const std::vector<FieldPoint>& points, const CellIndex& idx, int32_t i,
                  int32_t j, double radius)
{
    const double x = f.x0 + f.step * i;
    const double y = f.y0 + f.step * j;
    const int32_t reach = static_cast<int32_t>(std::ceil(radius / f.step));
    const double r2 = radius * radius;
    const double soft = 0.01 * f.step * f.step;
    double sumW = 0.0;
    double sumWZ = 0.0;
    for (int32_t cy = std::max(0, j - reach - 1); cy <= std::min(idx.rows - 1, j + reach); ++cy) {
        for (int32_t cx = std::max(0, i - reach - 1); cx <= std::min(idx.cols - 1, i + reach); ++cx) {
            const size_t c = static_cast<size_t>(cy) * static_cast<size_t>(idx.cols) + static_cast<size_t>(cx);
            for (int32_t k = idx.start[c]; k < idx.start[c + 1]; ++k) {
                const FieldPoint& p = points[static_cast<size_t>(idx.order[static_cast<size_t>(k)])];
                const double d2 = (p.x - x) * (p.x - x) + (p.y - y) * (p.y - y);
                if (d2 <= r2) {
                    const double w = 1.0 / (d2 + soft);
                    sumW += w;
                    sumWZ += w * p.z;
                }
            }
        }
    }
    return sumW > 0.0 ? sumWZ / sumW : NONE;
}

void fillCellTops(HeightField& f)
{
    f.cellTop.assign(static_cast<size_t>(f.nx - 1) * static_cast<size_t>(f.ny - 1), NONE);
    for (int32_t j = 0; j + 1 < f.ny; ++j) {
        for (int32_t i = 0; i + 1 < f.nx; ++i) {
            const size_t n = static_cast<size_t>(j) * static_cast<size_t>(f.nx) + static_cast<size_t>(i);
            const double a = f.heights[n];
            const double b = f.heights[n + 1];
            const double c = f.heights[n + static_cast<size_t>(f.nx)];
            const double d = f.heights[n + static_cast<size_t>(f.nx) + 1];
            if (!std::isnan(a) && !std::isnan(b) && !std::isnan(c) && !std::isnan(d)) {
                f.cellTop[static_cast<size_t>(j) * static_cast<size_t>(f.nx - 1) + static_cast<size_t>(i)] =
                    std::max(std::max(a, b), std::max(c, d));
            }
        }
    }
}

// The bilinear patch of cell (i, j): h = a + b u + c v + e u v, u and v in [0, 1].
struct Patch {
    double a = 0.0, b = 0.0, c = 0.0, e = 0.0;
};

Patch patchOf(const HeightField& f, int32_t i, int32_t j)
{
    const size_t n = static_cast<size_t>(j) * static_cast<size_t>(f.nx) + static_cast<size_t>(i);
    const double h00 = f.heights[n];
    const double h10 = f.heights[n + 1];
    const double h01 = f.heights[n + static_cast<size_t>(f.nx)];
    const double h11 = f.heights[n + static_cast<size_t>(f.nx) + 1];
    return {h00, h10 - h00, h01 - h00, h11 - h10 - h01 + h00};
}

// Smallest root in (0, length] of q0 + q1 s + q2 s^2, given q0 > 0; FAR when none.
double firstRoot(double q0, double q1, double q2, double length)
{
    double best = FAR;
    auto consider = [&](double s) {
        if (s > 0.0 && s <= length && s < best) {
            best = s;
        }
    };
    if (q2 == 0.0) {
        if (q1 < 0.0) {
            consider(-q0 / q1);
        }
        return best;
    }
    const double disc = q1 * q1 - 4.0 * q2 * q0;
    if (disc < 0.0) {
        return best;
    }
    // The two roots without cancellation; a tiny q2 puts one far out of range.
    const double root = std::sqrt(disc);
    const double q = -0.5 * (q1 + (q1 < 0.0 ? -root : root));
    if (q != 0.0) {
        consider(q / q2);
        consider(q0 / q);
    }
    return best;
}

// Entry and exit distances of the ray through the grid's node rectangle; false when it misses.
bool clipToGrid(const HeightField& f, const double* o, const double* d, double maxRange, double& t0, double& t1)
{
    const double lo[2] = {f.x0, f.y0};
    const double hi[2] = {f.x0 + f.step * (f.nx - 1), f.y0 + f.step * (f.ny - 1)};
    t0 = 0.0;
    t1 = maxRange;
    for (int32_t k = 0; k < 2; ++k) {
        if (d[k] == 0.0) {
            if (o[k] < lo[k] || o[k] > hi[k]) {
                return false;
            }
            continue;
        }
        double a = (lo[k] - o[k]) / d[k];
        double b = (hi[k] - o[k]) / d[k];
        if (a > b) {
            std::swap(a, b);
        }
        t0 = std::max(t0, a);
        t1 = std::min(t1, b);
    }
    return t0 < t1;
}

// One axis of the cell walk: the cell, the direction of travel and the distances at
// which the ray crosses the next cell boundary and between boundaries.
struct AxisWalk {
    int32_t cell = 0;
    int32_t dir = 0;
    double next = FAR;
    double delta = FAR;
};

AxisWalk startAxis(double origin, double dir, double v0, double step, int32_t cells, double t)
{
    AxisWalk w;
    const double g = (origin + t * dir - v0) / step;
    w.cell = std::clamp(static_cast<int32_t>(std::floor(g)), 0, cells - 1);
    if (dir > 0.0) {
        w.dir = 1;
        w.delta = step / dir;
        w.next = (v0 + step * (w.cell + 1) - origin) / dir;
    } else if (dir < 0.0) {
        w.dir = -1;
        w.delta = -step / dir;
        w.next = (v0 + step * w.cell - origin) / dir;
    }
    return w;
}

}  // namespace

HeightField buildHeightField(const std::vector<FieldPoint>& points, double step, double radius)
{
    HeightField f;
    double minX = FAR, maxX = -FAR, minY = FAR, maxY = -FAR;
    for (const FieldPoint& p : points) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    f.step = step;
    f.x0 = std::floor(minX / step) * step;
    f.y0 = std::floor(minY / step) * step;
    f.nx = std::max(2, static_cast<int32_t>(std::ceil((maxX - f.x0) / step)) + 1);
    f.ny = std::max(2, static_cast<int32_t>(std::ceil((maxY - f.y0) / step)) + 1);
    const CellIndex idx = indexPoints(f, points);
    f.heights.assign(static_cast<size_t>(f.nx) * static_cast<size_t>(f.ny), NONE);
    f.lowest = FAR;
    f.highest = -FAR;
    for (int32_t j = 0; j < f.ny; ++j) {
        for (int32_t i = 0; i < f.nx; ++i) {
            double h = NONE;
            for (int32_t g = 1; g <= RADIUS_GROWTHS && std::isnan(h); ++g) {
                h = nodeHeight(f, points, idx, i, j, radius * g);
            }
            f.heights[static_cast<size_t>(j) * static_cast<size_t>(f.nx) + static_cast<size_t>(i)] = h;
            if (std::isnan(h)) {
                ++f.missing;
            } else {
                f.lowest = std::min(f.lowest, h);
                f.highest = std::max(f.highest, h);
            }
        }
    }
    fillCellTops(f);
    return f;
}

bool heightAt(const HeightField& f, double x, double y, double& z)
{
    const double gx = (x - f.x0) / f.step;
    const double gy = (y - f.y0) / f.step;
    if (!(gx >= 0.0 && gy >= 0.0 && gx <= f.nx - 1 && gy <= f.ny - 1)) {
        return false;
    }
    const int32_t i = std::min(static_cast<int32_t>(gx), f.nx - 2);
    const int32_t j = std::min(static_cast<int32_t>(gy), f.ny - 2);
    if (std::isnan(f.cellTop[static_cast<size_t>(j) * static_cast<size_t>(f.nx - 1) + static_cast<size_t>(i)])) {
        return false;
    }
    const Patch p = patchOf(f, i, j);
    const double u = gx - i;
    const double v = gy - j;
    z = p.a + p.b * u + p.c * v + p.e * u * v;
    return true;
}

double castOnField(const HeightField& f, const double* o, const double* d, double maxRange)
{
    double t = 0.0;
    double tEnd = 0.0;
    if (!clipToGrid(f, o, d, maxRange, t, tEnd)) {
        return -1.0;
    }
    AxisWalk wx = startAxis(o[0], d[0], f.x0, f.step, f.nx - 1, t);
    AxisWalk wy = startAxis(o[1], d[1], f.y0, f.step, f.ny - 1, t);
    const double tStart = t;
    bool previousHeld = true;  // the cell before this one has a height
    while (t < tEnd) {
        const double leave = std::min(std::min(wx.next, wy.next), tEnd);
        const size_t cell = static_cast<size_t>(wy.cell) * static_cast<size_t>(f.nx - 1) + static_cast<size_t>(wx.cell);
        const double top = f.cellTop[cell];
        // The patch lies below its highest corner: a ray above that all through the cell passes.
        if (!std::isnan(top) && std::min(o[2] + t * d[2], o[2] + leave * d[2]) <= top) {
            const Patch p = patchOf(f, wx.cell, wy.cell);
            const double u = (o[0] + t * d[0] - f.x0) / f.step - wx.cell;
            const double v = (o[1] + t * d[1] - f.y0) / f.step - wy.cell;
            const double du = d[0] / f.step;
            const double dv = d[1] / f.step;
            // Height of the ray above the patch, s metres past t: q0 + q1 s + q2 s^2.
            const double q0 = o[2] + t * d[2] - (p.a + p.b * u + p.c * v + p.e * u * v);
            if (q0 <= 0.0) {
                // Below the surface where the ray starts, where it enters the grid from
                // outside or where it leaves a gap: the ground there, which the field does
                // not hold, would have stopped it first. Elsewhere only rounding puts it here.
                return t == tStart || !previousHeld ? -1.0 : t;
            }
            const double q1 = d[2] - (p.b * du + p.c * dv + p.e * (u * dv + v * du));
            const double q2 = -p.e * du * dv;
            const double s = firstRoot(q0, q1, q2, leave - t);
            if (s < FAR) {
                return t + s;
            }
        }
        previousHeld = !std::isnan(top);
        if (leave >= tEnd) {
            break;
        }
        AxisWalk& w = wx.next <= wy.next ? wx : wy;
        t = w.next;
        w.next += w.delta;
        w.cell += w.dir;
        if (w.cell < 0 || w.cell >= (&w == &wx ? f.nx - 1 : f.ny - 1)) {
            break;
        }
    }
    return -1.0;
}
