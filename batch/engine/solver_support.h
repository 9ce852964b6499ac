#pragma once

#include "batch/engine/pairing.h"

#include <cstdint>
#include <vector>

struct RegSettings;
struct ScanRecord;
struct PairContext;
struct PairSolve;
struct SolveProgress;

// Helpers that the solution methods share.

/// A scan's starting rotation (radians): its rotationPlus when found, else its
/// rotationMinus when found, else 0.
double startingRotation(const ScanRecord& scan);

/// The progress base of the current pair: pairs done in percent of all, in whole numbers.
double progressBase(const SolveProgress& progress);

/// The pair-distance limit of step `step` of a schedule of `steps` steps that falls
/// from `initial` to `final` (never below `final`); held in double precision.
double scheduledLimit(double initial, double final, int32_t step, int32_t steps);

/// The same limit rounded to single precision, compared with `final` after rounding.
float scheduledLimitSingle(double initial, double final, int32_t step, int32_t steps);

/// The schedule step of iteration `k` out of `count`: k itself below ten
/// iterations, else (count · k) / 10.
int32_t scheduleStep(int32_t k, int32_t count);

/// Stamps `points` over the overlap box of `pair` and sorts them by cube.
bool stampAndSort(const RegSettings& settings, PairContext& pair, std::vector<CubePoint>& points);

/// Recomputes the overlap box from the two scans' extents.
void updateOverlap(PairContext& pair);

/// computePairRms over two working arrays of the pair, counted as a walk of the solve.
PairingResult pairRms(PairSolve& s, const std::vector<CubePoint>& query, const std::vector<CubePoint>& reference,
                      double maxDist);

/// computePairRotation over two working arrays of the pair about (cx, cy), counted as a
/// walk of the solve.
PairingResult pairRotation(PairSolve& s, const std::vector<CubePoint>& query, const std::vector<CubePoint>& reference,
                           double maxDist, double minDist, double cx, double cy);

/// Prints the "RMSfinal" line for a result that did not improve on the initial RMS:
/// a registration without a valid RMS (too few pairs) failed, any other found the
/// scans as well aligned as it could.
void printNotImproved(const RegSettings& settings, const PairContext& pair, double finalRms, int32_t pairCount);

/// A rotation brought into (-180, 180] degrees, by whole turns of the program's own pi;
/// one already there is returned as it is.
double wrappedRadians(double radians);
