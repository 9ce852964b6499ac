#pragma once

#include "batch/outputs/output_names.h"

#include <cstdint>

// What one run mode does. The dispatch, the setting checks and the check of outputs
// against inputs all read this one table.
struct ModeWork {
    bool registersLine = false;     ///< registers the linear sequence (modes 1, 4)
    bool rotates = false;           ///< rotates the scans by their registrations (2, 4)
    bool evaluatesLine = false;     ///< evaluates the RMS of the linear sequence (3, 4)
    bool comparesTwoFiles = false;  ///< the RMS of two point files given on the command line (5)
    bool registersSite = false;     ///< registers every pair within the distance window (6)
    bool evaluatesSite = false;     ///< evaluates every such pair (7)
    bool writesMatrices = false;    ///< each scan's transformation matrix (8)
    bool exports = false;           ///< geo-referenced text exports (9)

    bool registers() const { return registersLine || registersSite; }
    bool evaluates() const { return evaluatesLine || evaluatesSite; }
    bool drawsPlan() const { return registers() || evaluates(); }
    bool pairsPoints() const { return registers() || evaluates() || comparesTwoFiles; }
    bool readsSurvey() const { return !comparesTwoFiles; }
    /// What the work writes and reads, for the check of outputs against inputs.
    RunFiles files() const
    {
        return {registers(), rotates, evaluates(), drawsPlan(), comparesTwoFiles, writesMatrices, exports};
    }
};

/// The work of `mode`; any mode outside 1 to 9 does nothing.
ModeWork modeWork(int32_t mode);
