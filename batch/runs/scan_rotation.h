#pragma once

#include "batch/run_modes.h"

#include <vector>

struct RegSettings;
struct ScanRecord;

RunStatus rotateScans(const RegSettings& settings, const std::vector<ScanRecord>& scans);
