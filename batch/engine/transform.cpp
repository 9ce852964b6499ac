#include "batch/engine/transform.h"

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

void applyScanTransform(std::vector<CubePoint>& points, const Matrix4& m)
{
    for (CubePoint& p : points) {
        const double x = p.x, y = p.y, z = p.z;
        p.x = m[0][0] * x + m[0][1] * y + m[0][2] * z + m[0][3];
        p.y = m[1][0] * x + m[1][1] * y + m[1][2] * z + m[1][3];
        p.z = m[2][0] * x + m[2][1] * y + m[2][2] * z + m[2][3];
    }
}

void rotateAboutVertical(std::vector<CubePoint>& points, double angle, double cx, double cy)
{
    const double sn = std::sin(angle), cs = std::cos(angle);
    for (CubePoint& p : points) {
        const double dx = p.x - cx, dy = p.y - cy;
        p.x = dx * cs - dy * sn + cx;
        p.y = dx * sn + dy * cs + cy;
    }
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

ScanExtent computeExtent(const std::vector<CubePoint>& points)
{
    // Points with a NaN or infinite coordinate lie outside every search grid, so they
    // do not widen the box; a scan without a finite point gets an empty box at 0.
    ScanExtent e;
    bool first = true;
    for (const CubePoint& p : points) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
            continue;
        if (first) {
            e.xmin = e.xmax = p.x;
            e.ymin = e.ymax = p.y;
            e.zmin = e.zmax = p.z;
            first = false;
        }
        e.xmin = std::min(e.xmin, p.x);
        e.xmax = std::max(e.xmax, p.x);
        e.ymin = std::min(e.ymin, p.y);
        e.ymax = std::max(e.ymax, p.y);
        e.zmin = std::min(e.zmin, p.z);
        e.zmax = std::max(e.zmax, p.z);
    }
    return e;
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
