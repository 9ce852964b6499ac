#pragma once

#include "batch/constants.h"
#include "batch/engine/solvers.h"

#include <cstdint>

struct RegSettings;
struct ScanRecord;
struct PairContext;
struct SolveProgress;
struct SolverWorkspace;

// The four solution methods as the frame of a solve calls them (solver_frame.cpp). The
// frame prints what every method prints alike, wraps and records the rotations; a
// method finds them.

// What a method works on: the prepared pair, its two scans, the run's progress and the
// methods' buffers.
struct PairSolve {
    const RegSettings& settings;
    const ScanRecord& scan1;
    const ScanRecord& scan2;
    PairContext& pair;
    SolveProgress& progress;
    SolverWorkspace& workspace;
};

// What a method found. The pair count and the passes start as the run's last values:
// a method that makes no walk or counts no passes leaves them as they were.
struct MethodResult {
    double angle1 = 0.0;        ///< radians, scan 1's rotation, not yet brought into a half turn
    double angle2 = 0.0;        ///< radians, scan 2's rotation, likewise
    double rms = NO_VALID_RMS;  ///< metres, the final RMS
    int32_t pairCount = 0;      ///< pairs of the method's last pairing walk
    int32_t passes = 0;         ///< least-squares passes (ping-pong, point to plane)
    bool unsettled = false;     ///< the passes ran out while the heading still moved
    bool fatal = false;         ///< a fatal condition was printed (too many points, grid too large)
    bool hasFigures = false;    ///< the method judged its result
    PairFigures figures;        ///< with hasFigures: what the pair shows of itself and the verdict
};

/// Iterative search (REGSOL 1): every pair of rotations on a grid of angles, then finer
/// grids around the best, repeated with narrower widths.
void searchIteratively(PairSolve& s, MethodResult& found);

/// Partial least squares (REGSOL 0): searches scan 1's rotation, solving scan 2's
/// rotation by least squares for every trial angle.
void solvePartialLeastSquares(PairSolve& s, MethodResult& found);

/// Ping-pong least squares (any other REGSOL): alternates least-squares rotations of
/// scan 2 onto scan 1 and back.
void solvePingPong(PairSolve& s, MethodResult& found);

/// Point-to-plane Gauss-Newton (REGSOL 3): closed-form Gauss-Newton steps of both
/// headings against planes fitted to the nearest points of the denser scan.
void solvePointToPlane(PairSolve& s, MethodResult& found);
