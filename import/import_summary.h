#pragma once
// The report printed after a conversion that worked.

#include "import/import_run.h"
#include "import/survey_naming.h"

#include <cstdio>
#include <string>

struct SummaryContext {
    std::string input;                ///< the file read
    std::string output;               ///< the .bxyz written
    const ScanName* named = nullptr;  ///< the database record that gave the name, if one did
    int32_t ptxScan = 1;              ///< the PTX scan read
    bool poseApplied = false;         ///< PTX points moved into the registered frame
    bool ptxOptionsUnused = false;    ///< --ptx-scan or --apply-pose given for another format
};

void printSummary(std::FILE* to, const SummaryContext& context, const ImportReport& report);
