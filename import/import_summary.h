#pragma once
// The report printed after a conversion that worked.

#include "import/import_run.h"
#include "import/survey_import.h"
#include "import/survey_naming.h"

#include <cstdio>
#include <string>

struct SummaryContext {
    std::string input;                ///< the file read
    std::string output;               ///< the .bxyz written
    const ScanName* named = nullptr;  ///< the database record that gave the name, if one did
    int32_t ptxScan = 1;              ///< the PTX scan read
    int32_t e57Scan = 1;              ///< the E57 scan read
    bool poseApplied = false;         ///< PTX or E57 points moved into the file's frame
    std::string unusedOptions;        ///< options given that this format has no use for, "" none
};

void printSummary(std::FILE* to, const SummaryContext& context, const ImportReport& report);

/// The report of a whole-survey conversion that worked.
void printSurveySummary(std::FILE* to, const SurveyImportRequest& request, const SurveyImportReport& report);
