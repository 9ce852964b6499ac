#pragma once

#include "batch/runs/run_status.h"

#include <cstdint>
#include <vector>

struct RegSettings;
struct RunState;
struct ScanRecord;

/// Writes each scan's matrix from its own frame into the survey frame.
RunStatus writeTransformMatrices(const RunState& run, const std::vector<ScanRecord>& scans);

/// Writes each binary scan transformed into the survey frame as a text point list, the
/// points transformed and their lines formatted on up to `threads` threads. Incomplete
/// when a scan could not be read (its earlier export, if any, stays).
RunStatus exportGeoreferencedScans(const RunState& run, const std::vector<ScanRecord>& scans, int32_t threads);
