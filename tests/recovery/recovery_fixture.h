#pragma once

#include "batch/engine/pair_context.h"
#include "batch/engine/solver_workspace.h"
#include "batch/engine/solvers.h"
#include "batch/inputs/configuration.h"
#include "batch/inputs/survey_database.h"
#include "tests/support/test_files.h"

#include <map>
#include <string>
#include <vector>

// A survey of the example generator, loaded the way the batch program loads it,
// with the heading error that was built into every scan.
struct GeneratedSurvey {
    TempDir scratch;                     ///< where the survey is generated when no shared one is given
    std::string folder;                  ///< the survey's folder
    RegSettings settings;                ///< its ipcreg.txt, angles in radians, run mode 1
    std::vector<ScanRecord> scans;       ///< with neighbours
    std::map<int32_t, double> errorDeg;  ///< scan id -> heading error, degrees
};

/// Loads a survey of 4 scans (`points` per scan, seed `seed`): the one generated once for
/// the whole test run in $RECOVERY_SURVEYS/ns or $RECOVERY_SURVEYS/ew when that variable
/// is set, else one generated here. False when that failed.
bool loadGeneratedSurvey(GeneratedSurvey& survey, int32_t points, bool eastWest, uint32_t seed);

/// Prepares the pair (scan index i, its south or west neighbour) in `pair`, quietly.
bool preparePair(const GeneratedSurvey& survey, std::vector<ScanRecord>& scans, int32_t i, PairContext& pair);

/// The same scans with the true headings in place of the database's.
std::vector<ScanRecord> withTrueHeadings(const GeneratedSurvey& survey);
