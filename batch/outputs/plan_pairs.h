#pragma once

#include "batch/outputs/plan_layout.h"

#include <string>

// The pairs of a run's plan: each a line from set-up to set-up, coloured by its RMS or
// by its state, with its RMS written at its middle.

/// True for an RMS a run found: not the marker of none, not negative, not NaN.
bool validRms(double rms);

/// How `pair` is drawn: failed when a scan could not be read or the run found no RMS,
/// else rejected, else not trusted (with or without a valid RMS), else failed without
/// a valid RMS.
PairState pairState(const PlanPair& pair);

/// The line of `pair` from `a` to `b`, with their ids, its RMS, whether it has none
/// (data-failed) and its state as data, and a tooltip; a valid pair takes its colour on the ramp whose top is `rmsTopMm`.
void appendPairLine(std::string& svg, const PlanPair& pair, const ScanRecord& a, const ScanRecord& b,
                    const PlanFrame& frame, double rmsTopMm);

/// The RMS of `pair` in millimetres where valid, after "not trusted" or "rejected"; or "failed";
/// on a white tag at the middle of its line so that it reads on paper over any line.
void appendPairLabel(std::string& svg, const PlanPair& pair, const ScanRecord& a, const ScanRecord& b,
                     const PlanFrame& frame, double rmsTopMm);
