#pragma once

#include "batch/outputs/run_plan.h"

#include <cstddef>

struct RegSettings;
struct RunState;

/// The plan of what this start did: its last registration or evaluation with the
/// heading corrections it applied (Run ALL) or found (a registration alone). Only
/// for the modes that register or evaluate pairs.
RunPlan planOfRun(const RegSettings& settings, const RunState& run, std::size_t scanCount);
