#pragma once

#include "batch/constants.h"

#include <cstdint>
#include <string>
#include <vector>

struct RegSettings;
struct ScanRecord;
struct PairContext;
struct SolverWorkspace;
struct SolveProgress;

// What a solution method hands back to the run besides its final RMS. The run keeps
// one record for the whole run: a value the method does not write stays as it was.
struct SolverOutputs {
    double rotation1 = 0.0;  ///< degrees, scan 1 about the vertical through its position
    double rotation2 = 0.0;  ///< degrees, scan 2 likewise
    int32_t pairCount = 0;   ///< pairs of the method's last pairing walk
    int32_t iterations = 0;  ///< least-squares passes of the ping-pong method
};

// What a point-to-plane registration shows of itself, and the verdict drawn from it.
struct PairFigures {
    double relative = 0.0;       ///< degrees, scan 2's correction minus scan 1's
    double relativeSigma = 0.0;  ///< degrees, its standard error
    double common = 0.0;         ///< degrees, the mean of both corrections
    double commonSigma = 0.0;    ///< degrees, its standard error (large where the pair hardly shows it)
    double correlation = 0.0;    ///< of the relative heading and the common turn
    double rms = NO_VALID_RMS;   ///< metres, final RMS
    double noiseFloor = 0.0;     ///< metres, the scatter of the planes' points about their planes; 0: unknown
    int32_t pairs = 0;           ///< point pairs of the last pass
    int32_t sampled = 0;         ///< query points the passes looked for planes for
    bool searched = false;       ///< the headings were searched before the solve
    bool trusted = true;         ///< the pair's own figures back the result
    std::string reason;          ///< why it is not trusted, in a few words
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
    bool hasFigures = false;          ///< the method judged its result (point to plane)
    PairFigures figures;              ///< the figures and the verdict, with hasFigures
};

/// Finds the two heading corrections of the prepared pair with the method that REGSOL
/// selects, printing the method's progress and its "RMSfinal" line.
SolveResult solveWithSelectedMethod(const RegSettings& settings, const std::vector<ScanRecord>& scans,
                                    PairContext& pair, SolverWorkspace& workspace, SolveProgress& progress,
                                    SolverOutputs& out);
