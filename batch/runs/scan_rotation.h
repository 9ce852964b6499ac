#pragma once

#include "batch/runs/run_status.h"

#include <vector>

struct RegSettings;
struct RunState;
struct ScanRecord;

/// Writes a rotated copy of every scan, turned by the mean of its registrations, and
/// the rotation table.
RunStatus rotateScans(const RegSettings& settings, const RunState& run, const std::vector<ScanRecord>& scans);
