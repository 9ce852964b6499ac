#pragma once

#include <cstdint>

// A plane fitted by least squares to a few points: it passes through their centroid,
// and its normal is the direction in which they spread least.
struct LocalPlane {
    double cx = 0.0, cy = 0.0, cz = 0.0;  ///< metres, the centroid
    double nx = 0.0, ny = 0.0, nz = 1.0;  ///< unit normal (its sign is arbitrary)
};

/// Fits the plane to `count` points given as x, y, z triples. False when fewer than
/// three points are given or they do not span a plane (all on one line or one spot).
/// Uses only +, -, *, / and sqrt, so every build computes the same bits.
bool fitLocalPlane(const double (*points)[3], int32_t count, LocalPlane& plane);

// The plane last fitted for a query point of a point-to-plane solve, and where the
// point stood then: a point that has hardly moved keeps its plane.
struct QueryPlane {
    double x = 0.0, y = 0.0, z = 0.0;  ///< metres, the query point at the fit (reference frame)
    LocalPlane plane;                  ///< fitted to its nearest reference points
    double nearestD2 = 0.0;            ///< squared metres to the nearest of them
    int8_t state = 0;                  ///< 0 never fitted, 1 fitted, 2 no plane there
};
