#pragma once

#include "batch/runs/pair_rows.h"
#include "batch/runs/run_status.h"

#include <string>
#include <vector>

struct RegSettings;
struct RunState;
struct ScanRecord;
struct PairContext;
struct SolverWorkspace;

/// Registers every neighbouring pair of the survey line once, or evaluates each scan
/// with its south (west) neighbour, and writes the table at `tablePath`. Registration
/// counts its pairs in `run`. Incomplete when some pair has no valid RMS or a scan of
/// it could not be read.
RunStatus runLinearSequence(const std::string& tablePath, PairTask task, const RegSettings& settings, RunState& run,
                            std::vector<ScanRecord>& scans, PairContext& pair, SolverWorkspace& workspace);
