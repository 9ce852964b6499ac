#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The figures behind each registered pair, read back from <db>pairs.csv.
struct PairFiguresRow {
    int32_t scan1 = 0;           ///< ID1 of scan 1
    int32_t scan2 = 0;           ///< ID1 of scan 2
    double relative = 0.0;       ///< degrees, scan 2's correction minus scan 1's
    double relativeSigma = 0.0;  ///< degrees
    double common = 0.0;         ///< degrees, the mean of both corrections
    double commonSigma = 0.0;    ///< degrees
    double correlation = 0.0;    ///< of the two
    double noiseFloor = 0.0;     ///< metres; 0 when not known
    bool trusted = false;        ///< the verdict was "trusted"
};

/// The rows of the table at `path` that could be read whole; empty when there is no such
/// table (nothing is said: the table is optional).
std::vector<PairFiguresRow> loadPairFigures(const std::string& path);

/// The median noise floor (metres) of the trusted rows that know one; 0 when none does.
double medianNoiseFloor(const std::vector<PairFiguresRow>& rows);
