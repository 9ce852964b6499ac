#pragma once

// The terrain survey's own text files: the configuration with the settings for sparse
// scans, and the README. The database, the point files and the truth are written as
// for the sea cliff (see survey_files.h).

#include "tools/survey_files.h"
#include "tools/terrain_survey.h"

#include <string>

bool writeTerrainConfiguration(const std::string& path, const TerrainSurveyPlan& plan,
                               const ExampleSurveyOptions& options, const PairingSettings& pairing);
bool writeTerrainReadme(const std::string& path, const TerrainSurveyPlan& plan, const ExampleSurveyOptions& options,
                        const ExampleSurveyResult& result);
