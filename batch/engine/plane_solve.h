#pragma once

#include "batch/constants.h"

#include <cstdint>

struct PairSolve;

// One point-to-plane Gauss-Newton solve of both headings of the prepared pair, from
// given starting headings, with what the pair shows of itself at the end.
struct PlaneSolveResult {
    double angle1 = 0.0;               ///< radians, scan 1's heading correction
    double angle2 = 0.0;               ///< radians, scan 2's heading correction
    double rms = NO_VALID_RMS;         ///< metres, of the last pass
    int32_t pairCount = 0;             ///< pairs of the last pass; stays as given without any pass
    int32_t passes = 0;                ///< passes made, added to the count given
    bool unsettled = false;            ///< the passes ran out while the heading still moved
    bool keptEarlierWindow = false;    ///< the last distance window had too few pairs; an earlier one's result
    int32_t sampled = 0;               ///< query points the passes looked for planes for
    double noiseFloor = 0.0;           ///< metres, the reference scan's scatter about its local planes; 0: unknown
    double covariance[3] = {0, 0, 0};  ///< square radians: var(angle1), cov(angle1, angle2), var(angle2)
};

/// Solves the pair from headings `start1`, `start2` (radians), as the points stand now.
/// The denser scan gives the planes; the pair's search cubes must be stamped in the
/// pair's current overlap. False when the grid is too large (printed).
bool solveAgainstPlanes(PairSolve& solve, double start1, double start2, PlaneSolveResult& out);
