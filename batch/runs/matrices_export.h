#pragma once

#include "batch/run_modes.h"

#include <vector>

struct RegSettings;
struct ScanRecord;

RunStatus writeTransformMatrices(const RegSettings& settings, const std::vector<ScanRecord>& scans);
RunStatus exportGeoreferencedScans(const RegSettings& settings, const std::vector<ScanRecord>& scans);
