#pragma once

#include "batch/engine/pair_context.h"
#include "batch/engine/pair_preparation.h"
#include "batch/inputs/configuration.h"
#include "batch/inputs/survey_database.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A cached example survey and the neighbouring pair that the benchmark times,
// loaded the way the batch program loads them.
struct BenchSurvey {
    RegSettings settings;           ///< its ipcreg.txt, solver keys at their defaults, radians
    std::vector<ScanRecord> scans;  ///< with neighbours
    int32_t scan1 = 0;              ///< scan index of the pair's scan 1
    int32_t scan2 = 0;              ///< scan index of its south neighbour
};

/// Generates a survey of 4 scans of `points` points (1 m cubes, seed 1) into `dir`
/// unless a complete one is there already. The generator runs in a child process,
/// so its memory never counts in this process's peak. False when generation failed.
bool ensureBenchSurvey(const std::string& dir, int32_t points);

/// Loads the survey in `dir`: its own keys, with 1 m cubes, NUMPPC 10 and every
/// solution-method key at the RegSettings default. Nullopt when it cannot be read.
std::optional<BenchSurvey> loadBenchSurvey(const std::string& dir);

/// Names the benchmark's pair in `pair`, as a run does before preparing it.
void nameBenchPair(const BenchSurvey& survey, PairContext& pair);

/// What a registering run asks of the preparation.
inline PrepareSteps registrationSteps()
{
    PrepareSteps steps;
    steps.measureInitialRms = true;
    return steps;
}
