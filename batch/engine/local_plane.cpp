#include "batch/engine/local_plane.h"

#include <cmath>
#include <utility>

namespace {

// The smallest eigenvalue of a symmetric positive semi-definite 3 x 3 matrix: the
// smallest root of its characteristic polynomial, reached by Newton's method from 0.
// All three roots are real and not negative, so from 0 the iteration climbs to the
// smallest one without overshooting.
double smallestEigenvalue(const double c[3][3])
{
    const double trace = c[0][0] + c[1][1] + c[2][2];
    const double minors = c[0][0] * c[1][1] - c[0][1] * c[0][1] + c[0][0] * c[2][2] - c[0][2] * c[0][2]
        + c[1][1] * c[2][2] - c[1][2] * c[1][2];
    const double det = c[0][0] * (c[1][1] * c[2][2] - c[1][2] * c[1][2])
        - c[0][1] * (c[0][1] * c[2][2] - c[1][2] * c[0][2]) + c[0][2] * (c[0][1] * c[1][2] - c[1][1] * c[0][2]);
    // det(C - L) = det - minors·L + trace·L² - L³
    double lambda = 0.0;
    for (int i = 0; i < 60; ++i) {
        const double p = det - lambda * (minors - lambda * (trace - lambda));
        const double slope = -minors + lambda * (2.0 * trace - 3.0 * lambda);
        if (!(slope < 0.0))
            break;
        const double next = lambda - p / slope;
        if (!(next > lambda))
            break;
        lambda = next;
    }
    return lambda;
}

}  // namespace

bool fitLocalPlane(const double (*points)[3], int32_t count, LocalPlane& plane)
{
    if (count < 3)
        return false;
    double mean[3] = {0.0, 0.0, 0.0};
    for (int32_t i = 0; i < count; ++i)
        for (int k = 0; k < 3; ++k)
            mean[k] += points[i][k];
    for (double& m : mean)
        m /= count;
    double c[3][3] = {};
    for (int32_t i = 0; i < count; ++i) {
        const double d[3] = {points[i][0] - mean[0], points[i][1] - mean[1], points[i][2] - mean[2]};
        for (int r = 0; r < 3; ++r)
            for (int k = r; k < 3; ++k)
                c[r][k] += d[r] * d[k];
    }
    c[1][0] = c[0][1];
    c[2][0] = c[0][2];
    c[2][1] = c[1][2];
    const double lambda = smallestEigenvalue(c);
    // The normal is perpendicular to the rows of C - lambda·I: the longest cross product
    // of two of them. Points on one line (or one spot) leave no two independent rows.
    const double r[3][3] = {{c[0][0] - lambda, c[0][1], c[0][2]},
                            {c[1][0], c[1][1] - lambda, c[1][2]},
                            {c[2][0], c[2][1], c[2][2] - lambda}};
    double best[3] = {0.0, 0.0, 0.0}, bestLength = 0.0;
    for (const auto& [a, b] : {std::pair{0, 1}, std::pair{0, 2}, std::pair{1, 2}}) {
        const double n[3] = {r[a][1] * r[b][2] - r[a][2] * r[b][1], r[a][2] * r[b][0] - r[a][0] * r[b][2],
                             r[a][0] * r[b][1] - r[a][1] * r[b][0]};
        const double length = n[0] * n[0] + n[1] * n[1] + n[2] * n[2];
        if (length > bestLength) {
            bestLength = length;
            best[0] = n[0];
            best[1] = n[1];
            best[2] = n[2];
        }
    }
    const double trace = c[0][0] + c[1][1] + c[2][2];
    if (!(bestLength > 1e-24 * trace * trace * trace * trace))
        return false;
    const double length = std::sqrt(bestLength);
    plane.cx = mean[0];
    plane.cy = mean[1];
    plane.cz = mean[2];
    plane.nx = best[0] / length;
    plane.ny = best[1] / length;
    plane.nz = best[2] / length;
    return true;
}
