#pragma once

#include "batch/constants.h"

#include <cstdint>
#include <vector>

struct RegSettings;
struct ScanRecord;
struct PairContext;

// What a solution method hands back to the run besides its final RMS. The run keeps
// one record for the whole run: a value the method does not write stays as it was.
struct SolverOutputs {
    double rotation1 = 0.0;  ///< degrees, scan 1 about the vertical through its position
    double rotation2 = 0.0;  ///< degrees, scan 2 likewise
    int32_t pairCount = 0;   ///< pairs of the method's last pairing walk
    int32_t iterations = 0;  ///< least-squares passes of the ping-pong method
};

struct SolveResult {
    double rms = NO_VALID_RMS;  ///< metres, the final RMS
    bool fatal = false;         ///< a fatal condition was printed (too many points, grid too large)
    // The ping-pong method's own record of the pair, which the run stores into the scan
    // records before its own stores: scan 1 as the pair's south scan, scan 2 as its north.
    bool recordsRotations = false;    ///< the two values below are to be stored
    double scan1RotationMinus = 0.0;  ///< radians, for scan 1's rotationMinus
    double scan2RotationPlus = 0.0;   ///< radians, for scan 2's rotationPlus
    bool unsettled = false;           ///< the passes ran out while the heading still moved
};

/// Iterative search (REGSOL 1): tries every pair of rotations on a grid of angles,
/// then finer grids around the best, repeated with narrower widths.
SolveResult solveIterativeSearch(const RegSettings& settings, const std::vector<ScanRecord>& scans, PairContext& pair,
                                 SolverOutputs& out);

/// Partial least squares (REGSOL 0): searches scan 1's rotation, solving scan 2's
/// rotation by least squares for every trial angle.
SolveResult solvePartialLeastSquares(const RegSettings& settings, const std::vector<ScanRecord>& scans,
                                     PairContext& pair, SolverOutputs& out);

/// Ping-pong least squares (any other REGSOL): alternates least-squares rotations
/// of scan 2 onto scan 1 and back; asks for its rotations to be recorded.
SolveResult solvePingPong(const RegSettings& settings, const std::vector<ScanRecord>& scans, PairContext& pair,
                          SolverOutputs& out);

/// Point-to-plane Gauss-Newton (REGSOL 3): closed-form Gauss-Newton steps of both
/// headings against planes fitted to the nearest points of the denser scan; asks for
/// its rotations to be recorded.
SolveResult solvePointToPlane(const RegSettings& settings, const std::vector<ScanRecord>& scans, PairContext& pair,
                              SolverOutputs& out);

/// Calls the solution method that REGSOL selects.
SolveResult solveWithSelectedMethod(const RegSettings& settings, const std::vector<ScanRecord>& scans,
                                    PairContext& pair, SolverOutputs& out);
