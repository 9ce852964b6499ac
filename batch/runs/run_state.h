#pragma once

#include "batch/engine/solver_workspace.h"
#include "batch/inputs/point_files.h"
#include "batch/outputs/run_plan.h"

#include <cstdint>
#include <cstdio>
#include <utility>
#include <vector>

// The pairs that a registration met, for the line that sums the run up.
struct RegistrationTally {
    int32_t attempted = 0;    ///< pairs tried, those with a scan that could not be read included
    int32_t improved = 0;     ///< pairs whose rotations improved the RMS
    int32_t failed = 0;       ///< pairs without a valid RMS, or with a scan that could not be read
    int32_t notImproved = 0;  ///< pairs with a valid RMS no better than their initial one
};

// The pairs that an evaluation met, for the line that sums it up.
struct EvaluationTally {
    int32_t attempted = 0;  ///< pairs tried, those that could not be read or evaluated included
    int32_t valid = 0;      ///< pairs with a valid RMS
};

// What the batch driver decided for this start: created in main once the mode is
// chosen and handed to the run modes. The engine never sees it; it is told plain
// flags instead.
struct RunState {
    int32_t runMode = 1;                         ///< the mode answered at the menu
    std::FILE* logFile = nullptr;                ///< the run's log, owned by main; null until it is open
    SolveProgress progress;                      ///< where the runs' pairs stand, for the methods' percentages
    RegistrationTally tally;                     ///< the pairs registered so far
    EvaluationTally evaluated;                   ///< the pairs evaluated so far
    std::vector<bool> rotated;                   ///< per scan, its rotated copy was written by this start's rotation
    std::vector<TextReadBack> rotatedReadBacks;  ///< per scan, what its rotated copy gives when read
    std::vector<double> turnedBy;      ///< per scan, degrees this start's rotation turned it by; NaN: not turned
    std::vector<PlanPair> pairs;       ///< the pairs of the last registration or evaluation, for the plan
    std::vector<double> headingSigma;  ///< per scan, degrees: the adjusted correction's standard error; NaN: none
    std::vector<std::pair<int32_t, int32_t>> rejectedPairs;    ///< scan indices of pairs the adjustment rejected
    std::vector<std::pair<int32_t, int32_t>> notTrustedPairs;  ///< scan indices of pairs registered but not trusted
};
