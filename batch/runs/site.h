#pragma once

#include "batch/run_modes.h"

#include <string>
#include <vector>

struct RegSettings;
struct ScanRecord;
struct PairContext;

RunStatus runSite(const std::string& tablePath, RegSettings& settings, std::vector<ScanRecord>& scans,
              PairContext& pair);
