#pragma once

#include "batch/constants.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct ScanRecord;

// A plan view of a run over a survey, written as SVG beside its tables: the set-ups,
// the pairs coloured by their RMS, and each scan's heading correction.

/// One registered or evaluated pair, as a row of the run's table.
struct PlanPair {
    int32_t scan1 = -1;         ///< index in the scan table
    int32_t scan2 = -1;         ///< index in the scan table
    double rms = NO_VALID_RMS;  ///< metres: the final RMS of a registration, rmswave of an evaluation
    bool failed = false;        ///< no valid RMS, or a scan of the pair could not be read
    bool notTrusted = false;    ///< registered, but its own figures do not back the result
    bool rejected = false;      ///< trusted, but rejected by the adjustment of the survey
    double rotation1 = NAN;     ///< degrees, scan 1's rotation found by a registration; NaN: none
    double rotation2 = NAN;     ///< degrees, scan 2's rotation found by a registration; NaN: none
};

// Heading corrections turn counter-clockwise seen from above when positive.
struct RunPlan {
    std::string title;                      ///< shown at the top, e.g. the database name and what the run did
    std::vector<PlanPair> pairs;            ///< registered or evaluated pairs, in table order
    std::vector<double> headingCorrection;  ///< degrees per scan in table order; NaN or absent: none
    double transX = 0.0;                    ///< metres, TRANSX: added back to show eastings
    double transY = 0.0;                    ///< metres, TRANSY: added back to show northings
    std::vector<double> headingSigma;       ///< degrees per scan, the correction's standard error; NaN or absent: none
    double noiseFloor = 0.0;                ///< metres, the survey's typical noise floor; 0: not known
    std::string method;                     ///< the solution method, e.g. "REGSOL 3, point-to-plane Gauss-Newton"
    int32_t adjust = 0;                     ///< ADJUST of the run: 1 the survey's adjustment, 0 the mean of rows
    std::string date;                       ///< of the run, YYYY-MM-DD
};

/// Each scan's heading correction as a rotation of the scans would take it from these
/// pairs: the mean of the rotations found for the scan, in degrees; NaN for a scan
/// without any.
std::vector<double> meanCorrections(const std::vector<PlanPair>& pairs, std::size_t scanCount);

/// Writes the plan of `plan` over `scans` (positions in the survey frame) to `path`
/// through OutputFile, so a failure is reported like that of any other output;
/// false on failure. A pair naming a scan outside the table, or a scan without a
/// finite position, is left out of the drawing.
bool writeRunPlan(const std::string& path, const std::vector<ScanRecord>& scans, const RunPlan& plan, std::FILE* log);
