#pragma once

#include "batch/runs/rotation_table.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

struct RegSettings;
struct ScanRecord;

// The turn a rotation gives each scan, from the registration table: the least-squares
// adjustment of all the survey's trusted pairs (ADJUST 1), or the mean of the rows that
// name the scan (ADJUST 0).
struct ScanTurn {
    bool found = false;    ///< the scan has a correction; else it is copied unturned
    double degrees = 0.0;  ///< the correction
    int32_t pairs = 0;     ///< the rows (pairs) it comes from
    double spread = 0.0;   ///< degrees, largest minus smallest of the rows' corrections of the scan
    double sigma = NAN;    ///< degrees, the adjusted correction's standard error; NaN without the adjustment
    int32_t rejected = 0;  ///< pairs of the scan the adjustment rejected
};

/// Each scan's turn (scan table order) from the rows of the registration table. The
/// adjustment takes each pair's figures from `figuresPath` (<db>pairs.csv) where that
/// table holds the pair's result; a pair it rejects is said on the console and in `log`
/// and its scan indices are added to `rejectedPairs`.
std::vector<ScanTurn> scanTurns(const RegSettings& settings, const std::vector<ScanRecord>& scans,
                                const std::vector<RegistrationRow>& rows, const std::string& figuresPath,
                                std::FILE* log, std::vector<std::pair<int32_t, int32_t>>& rejectedPairs);
