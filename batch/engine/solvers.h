#pragma once

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
    double rms = 999.0;          ///< metres, the final RMS
    bool fatal = false;          ///< a fatal condition was printed (too many points, grid too large)
};

/// Iterative search (REGSOL 1): tries every pair of rotations on a grid of angles,
/// then finer grids around the best, repeated with narrower widths.
SolveResult solveIterativeSearch(const RegSettings& settings, const std::vector<ScanRecord>& scans,
                                 PairContext& pair, SolverOutputs& out);

/// Partial least squares (REGSOL 0): searches scan 1's rotation, solving scan 2's
/// rotation by least squares for every trial angle.
SolveResult solvePartialLeastSquares(const RegSettings& settings, const std::vector<ScanRecord>& scans,
                                     PairContext& pair, SolverOutputs& out);

/// Ping-pong least squares (any other REGSOL): alternates least-squares rotations
/// of scan 2 onto scan 1 and back; writes scan 1's rotationMinus and scan 2's rotationPlus.
SolveResult solvePingPong(const RegSettings& settings, std::vector<ScanRecord>& scans, PairContext& pair,
                          SolverOutputs& out);
