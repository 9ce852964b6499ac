#pragma once

#include "batch/runs/pair_rows.h"
#include "batch/runs/run_status.h"

#include <string>
#include <vector>

struct RegSettings;
struct RunState;
struct ScanRecord;
struct PairContext;

/// Registers every neighbouring pair of the survey line once, or evaluates each scan
/// with its south (west) neighbour, and writes the table at `tablePath`.
RunStatus runLinearSequence(const std::string& tablePath, PairTask task, const RegSettings& settings,
                            const RunState& run, std::vector<ScanRecord>& scans, PairContext& pair);
