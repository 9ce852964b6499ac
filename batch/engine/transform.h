#pragma once

#include "batch/point_set.h"

#include <array>
#include <cstdint>
#include <vector>

// A 4 x 4 matrix addressed [row][column]: the scaled rotation in rows 0-2,
// columns 0-2, the translation in column 3, row 3 = [0, 0, 0, 1].
using Matrix4 = std::array<std::array<double, 4>, 4>;

/// k·Rz(a3)·Ry(a2)·Rx(a1) with the translation (tx, ty, tz): takes a scan from the
/// scanner's frame into the survey frame. Angles in radians.
Matrix4 makeScanTransform(double a1, double a2, double a3, double scale, double tx, double ty, double tz);

/// Prints a scan's matrix the way the console reports it before the scan is transformed.
void printScanTransform(const Matrix4& m);

/// Transforms the points in place (row 3 is not used), on up to `threads` threads.
void applyScanTransform(std::vector<CubePoint>& points, const Matrix4& m, int32_t threads = 1);

/// Turns the points in place by `angle` (radians, counter-clockwise seen from
/// above) about the vertical through (cx, cy), on up to `threads` threads; z and the
/// cube stamps stay.
void rotateAboutVertical(std::vector<CubePoint>& points, double angle, double cx, double cy, int32_t threads = 1);

/// Fills `out` with the points of `in` turned as rotateAboutVertical does; the
/// copies' cube stamps are left as they were in `in` until the caller stamps them.
void rotatedCopy(const std::vector<CubePoint>& in, std::vector<CubePoint>& out, double angle, double cx, double cy);

/// Bounding box of the points with finite coordinates, on up to `threads` threads (the
/// same box for any number).
ScanExtent computeExtent(const std::vector<CubePoint>& points, int32_t threads = 1);

/// The intersection of two boxes.
ScanExtent overlapOf(const ScanExtent& a, const ScanExtent& b);
