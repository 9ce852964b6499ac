#pragma once

#include "batch/outputs/plan_layout.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

// The set-ups of a run's plan: a dot at each position, its ID1 beside it and under the
// id its heading correction, with the correction's standard error where it has one,
// and a turn arrow about the dot.

/// A heading correction as the label writes it: "+0.245°", or with its standard error
/// "+0.2451° ± 0.0003°", both to as many decimals (3 to 6) as show the error's first
/// significant digit. `sigma` NaN: none.
std::string correctionText(double degrees, double sigma);

/// Page units a set-up label of `text` may take beside its set-up.
double labelRoom(const std::string& text);

/// The dot of `scan` with its ID1 and real coordinates (`transX`, `transY` added) as data.
void appendSetup(std::string& svg, const ScanRecord& scan, const PlanFrame& frame, double transX, double transY);

/// The direction (0 to 7: a corner, or straight beside, above or below) each set-up's
/// label goes to: the one that points furthest away from every pair line leaving the
/// set-up; a tie goes to the first of them, so to a corner before the others.
std::vector<int32_t> labelDirections(const std::vector<ScanRecord>& scans, const std::vector<PlanPair>& pairs,
                                     const PlanFrame& frame);

/// A set-up's correction: NaN degrees for none; NaN sigma for none.
struct ShownCorrection {
    double degrees = NAN;  ///< heading correction, counter-clockwise positive
    double sigma = NAN;    ///< degrees, its standard error
};

/// The label of `scan` in `direction`, and for a correction its text and turn arrow, whose
/// sweep is `sweepPerDegree` radians per degree.
void appendSetupLabel(std::string& svg, const ScanRecord& scan, const PlanFrame& frame, int32_t direction,
                      const ShownCorrection& correction, double sweepPerDegree);
