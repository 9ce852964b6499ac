#pragma once

#include "batch/runs/run_status.h"

#include <string>
#include <vector>

struct RegSettings;
struct RunState;
struct ScanRecord;
struct PairContext;
struct SolverWorkspace;

/// Runs the work of the chosen mode, with its banners, in dispatch order.
/// `file1` and `file2` are the two point files that run mode 5 compares.
RunStatus runSelectedMode(const RegSettings& settings, RunState& run, std::vector<ScanRecord>& scans, PairContext& pair,
                          SolverWorkspace& workspace, const std::string& file1, const std::string& file2);
