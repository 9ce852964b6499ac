#pragma once

#include "batch/runs/run_status.h"

#include <vector>

struct RegSettings;
struct RunState;
struct ScanRecord;

/// Writes a rotated copy of every scan, turned by the mean of its registrations, and
/// the rotation table; notes in `run` which rotated copies were written. Incomplete
/// when a scan could not be read. With `readsBack` (the run evaluates the copies next),
/// what each copy gives when read is kept in `run` as well, so that it need not be parsed.
RunStatus rotateScans(const RegSettings& settings, RunState& run, const std::vector<ScanRecord>& scans, bool readsBack);
