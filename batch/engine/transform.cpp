#include "batch/engine/transform.h"

#include "batch/parallel_for.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

Matrix4 makeScanTransform(double a1, double a2, double a3, double scale, double tx, double ty, double tz)
{
    const double ca = std::cos(a1), sa = std::sin(a1);
    const double cb = std::cos(a2), sb = std::sin(a2);
    const double cg = std::cos(a3), sg = std::sin(a3);
    const double k = scale;
    Matrix4 m{};
    m[0] = {k * cg * cb, k * (sb * sa * cg - sg * ca), k * (sb * ca * cg + sg * sa), tx};
    m[1] = {k * sg * cb, k * (sb * sa * sg + cg * ca), k * (sb * ca * sg - sa * cg), ty};
    m[2] = {-k * sb, k * sa * cb, k * cb * ca, tz};
    m[3] = {0.0, 0.0, 0.0, 1.0};
    return m;
}

void printScanTransform(const Matrix4& m)
{
    std::printf("\nRotation Matrix Calculated for scan: \n\n");
    for (const auto& row : m)
        std::printf("%.10lf %.10lf %.10lf %.10lf \n", row[0], row[1], row[2], row[3]);
}

namespace {

// Points below which a pass over a scan stays on one thread.
constexpr int64_t POINT_PIECE = 1 << 16;

// The box of the finite points of [first, last); `found` false when there is none.
// Of equal values the earlier point's stays (-0.0 and 0.0 compare equal).
struct PieceBox {
    ScanExtent box;
    bool found = false;

    void widen(const ScanExtent& e)
    {
        if (!found) {
            box = e;
            found = true;
            return;
        }
        box.xmin = std::min(box.xmin, e.xmin);
        box.xmax = std::max(box.xmax, e.xmax);
        box.ymin = std::min(box.ymin, e.ymin);
        box.ymax = std::max(box.ymax, e.ymax);
        box.zmin = std::min(box.zmin, e.zmin);
        box.zmax = std::max(box.zmax, e.zmax);
    }
};

PieceBox boxOf(const CubePoint* first, const CubePoint* last)
{
    PieceBox b;
    for (const CubePoint* p = first; p != last; ++p) {
        if (!std::isfinite(p->x) || !std::isfinite(p->y) || !std::isfinite(p->z))
            continue;
        b.widen({p->x, p->x, p->y, p->y, p->z, p->z});
    }
    return b;
}

}  // namespace

void applyScanTransform(std::vector<CubePoint>& points, const Matrix4& m, int32_t threads)
{
    parallelFor(threads, static_cast<int64_t>(points.size()), POINT_PIECE, [&](int64_t begin, int64_t end) {
        for (int64_t i = begin; i < end; ++i) {
            CubePoint& p = points[static_cast<std::size_t>(i)];
            const double x = p.x, y = p.y, z = p.z;
            p.x = m[0][0] * x + m[0][1] * y + m[0][2] * z + m[0][3];
            p.y = m[1][0] * x + m[1][1] * y + m[1][2] * z + m[1][3];
            p.z = m[2][0] * x + m[2][1] * y + m[2][2] * z + m[2][3];
        }
    });
}

void rotateAboutVertical(std::vector<CubePoint>& points, double angle, double cx, double cy, int32_t threads)
{
    const double sn = std::sin(angle), cs = std::cos(angle);
    parallelFor(threads, static_cast<int64_t>(points.size()), POINT_PIECE, [&](int64_t begin, int64_t end) {
        for (int64_t i = begin; i < end; ++i) {
            CubePoint& p = points[static_cast<std::size_t>(i)];
            const double dx = p.x - cx, dy = p.y - cy;
            p.x = dx * cs - dy * sn + cx;
            p.y = dx * sn + dy * cs + cy;
        }
    });
}

void rotatedCopy(const std::vector<CubePoint>& in, std::vector<CubePoint>& out, double angle, double cx, double cy)
{
    const double sn = std::sin(angle), cs = std::cos(angle);
    makeRoomFor(out, in.size());
    out.resize(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        const double dx = in[i].x - cx, dy = in[i].y - cy;
        out[i].x = dx * cs - dy * sn + cx;
        out[i].y = dx * sn + dy * cs + cy;
        out[i].z = in[i].z;
        out[i].cube = in[i].cube;
    }
}

ScanExtent computeExtent(const std::vector<CubePoint>& points, int32_t threads)
{
    // Points with a NaN or infinite coordinate lie outside every search grid, so they
    // do not widen the box; a scan without a finite point gets an empty box at 0. The
    // pieces' boxes are joined in order, so the box is the one a single pass gives.
    const int64_t n = static_cast<int64_t>(points.size());
    const int32_t pieces = n < 2 * POINT_PIECE ? 1 : std::max(threads, 1);
    std::vector<PieceBox> boxes(static_cast<std::size_t>(pieces));
    parallelFor(pieces, pieces, 1, [&](int64_t first, int64_t last) {
        for (int64_t k = first; k < last; ++k)
            boxes[static_cast<std::size_t>(k)] =
                boxOf(points.data() + n * k / pieces, points.data() + n * (k + 1) / pieces);
    });
    PieceBox all;
    for (const PieceBox& b : boxes)
        if (b.found)
            all.widen(b.box);
    return all.box;
}

ScanExtent overlapOf(const ScanExtent& a, const ScanExtent& b)
{
    ScanExtent o;
    o.xmin = std::max(a.xmin, b.xmin);
    o.xmax = std::min(a.xmax, b.xmax);
    o.ymin = std::max(a.ymin, b.ymin);
    o.ymax = std::min(a.ymax, b.ymax);
    o.zmin = std::max(a.zmin, b.zmin);
    o.zmax = std::min(a.zmax, b.zmax);
    return o;
}
