#pragma once

// A terrain surface built from scattered laser points: heights on a square grid of
// nodes, each an inverse-distance weighted mean of the points near it, interpolated
// bilinearly within each cell. Rays are cast against it exactly: along a ray the
// bilinear height is a quadratic in the distance, so each cell the ray crosses is
// solved in closed form. Cells with a missing corner let rays pass.

#include <cstdint>
#include <vector>

/// A point in the translated survey frame.
struct FieldPoint {
    double x = 0.0;  ///< metres (easting - TRANSX)
    double y = 0.0;  ///< metres (northing - TRANSY)
    double z = 0.0;  ///< metres, elevation
};

struct HeightField {
    double x0 = 0.0;              ///< x of node (0, 0), translated survey frame, metres
    double y0 = 0.0;              ///< y of node (0, 0), metres
    double step = 1.0;            ///< node spacing, metres
    int32_t nx = 0;               ///< nodes along x (at least 2)
    int32_t ny = 0;               ///< nodes along y (at least 2)
    std::vector<double> heights;  ///< metres, ny rows of nx nodes; NaN where no point was near
    std::vector<double>
        cellTop;           ///< highest corner of each of the (nx-1)(ny-1) cells, row by row; NaN: a corner is missing
    double lowest = 0.0;   ///< lowest node, metres
    double highest = 0.0;  ///< highest node, metres
    int32_t missing = 0;   ///< nodes left without a height
};

/// Builds the field over the points' extent with nodes `step` apart: each node takes
/// the mean of the points within `radius`, weighted by 1 / (d^2 + (0.1 step)^2); a node
/// with none takes those within two, three, ... up to ten times the radius. Sums run in a fixed
/// order, so every build gives the same bits. At least one point is needed.
HeightField buildHeightField(const std::vector<FieldPoint>& points, double step, double radius);

/// The surface's height at (x, y); false outside the grid or in a cell with a missing corner.
bool heightAt(const HeightField& field, double x, double y, double& z);

/// Distance along the ray (origin o, unit direction d, translated survey frame) to its
/// first crossing of the surface from above, up to maxRange; negative when it meets none,
/// starts below the surface, or enters the grid from outside, or a cell from a gap, below
/// the surface (the ground there, which the field does not hold, would have stopped it).
double castOnField(const HeightField& field, const double* o, const double* d, double maxRange);
