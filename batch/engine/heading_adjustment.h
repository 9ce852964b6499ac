#pragma once

#include <cstdint>
#include <vector>

// The least-squares adjustment of a survey's heading corrections: one unknown per scan,
// two observations per registered pair (the relative heading of its two scans and the
// turn they share), each with the standard errors the pair gives them. In a site the
// loops of pairs over-determine the headings, and a pair that does not fit the others
// is rejected and the survey adjusted again without it.

// What one pair says of its two scans.
struct PairObservation {
    int32_t scan1 = 0;           ///< index of the pair's scan 1 among the adjusted scans
    int32_t scan2 = 0;           ///< index of its scan 2
    double relative = 0.0;       ///< radians, scan 2's correction minus scan 1's
    double relativeSigma = 0.0;  ///< radians, its standard error (> 0)
    double common = 0.0;         ///< radians, the mean of both corrections
    double commonSigma = 0.0;    ///< radians, its standard error (> 0)
    double correlation = 0.0;    ///< of the two, -1 to 1
};

// A pair the adjustment rejected, with what its relative heading failed the test by.
struct RejectedPair {
    int32_t observation = 0;  ///< index in the observations given
    double residual = 0.0;    ///< radians, observed minus adjusted relative heading
    double sigmas = 0.0;      ///< the residual in units of its own standard error
};

struct HeadingAdjustment {
    std::vector<double> correction;      ///< radians per scan; 0 for a scan no pair holds
    std::vector<double> sigma;           ///< radians per scan; NaN for a scan no pair holds
    std::vector<int32_t> pairsUsed;      ///< per scan, pairs that hold it and were kept
    std::vector<RejectedPair> rejected;  ///< in the order they were rejected
    double varianceFactor = 1.0;         ///< a posteriori over a priori variance of unit weight, at least 1
};

/// Adjusts `scanCount` scans to the observations, rejecting one pair at a time while the
/// largest normalised residual of a relative heading exceeds `rejectAbove` sigmas.
HeadingAdjustment adjustHeadings(int32_t scanCount, const std::vector<PairObservation>& observations,
                                 double rejectAbove);
