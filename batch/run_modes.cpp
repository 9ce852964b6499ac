#include "batch/run_modes.h"

#include "batch/engine/pair_context.h"
#include "batch/engine/pair_preparation.h"
#include "batch/inputs/configuration.h"
#include "batch/inputs/survey_database.h"
#include "batch/runs/linear_sequence.h"
#include "batch/runs/matrices_export.h"
#include "batch/runs/scan_rotation.h"
#include "batch/runs/site.h"

#include <cstdio>

RunStatus worse(RunStatus a, RunStatus b)
{
    return static_cast<int>(a) > static_cast<int>(b) ? a : b;
}

RunStatus runSelectedMode(RegSettings& settings, std::vector<ScanRecord>& scans, PairContext& pair,
                          const std::string& file1, const std::string& file2)
{
    const int32_t mode = settings.runMode;
    RunStatus status = RunStatus::Ok;
    settings.evaluatingRms = false;
    if (mode == 1 || mode == 4) {
        std::printf("REGISTERING SCANS\n");
        status = worse(status, runLinearSequence(settings.regFileName, settings, scans, pair));
        if (status == RunStatus::Fatal)
            return status;
        std::printf("REGISTRATION OF SCANS COMPLETE\n");
        std::printf("\n");
    }
    if (mode == 2 || mode == 4) {
        std::printf("ROTATING SCANS\n");
        status = worse(status, rotateScans(settings, scans));
        if (status == RunStatus::Fatal)
            return status;
        std::printf("ROTATION OF SCANS COMPLETE\n");
        std::printf("\n");
    }
    settings.evaluatingRms = true;
    if (mode == 3 || mode == 4) {
        std::printf("EVALUATING RMS OF SCANS\n");
        status = worse(status, runLinearSequence(settings.rmsFileName, settings, scans, pair));
        if (status == RunStatus::Fatal)
            return status;
        std::printf("EVALUATION OF RMS COMPLETE\n");
        std::printf("\n");
    }
    if (mode == 5) {
        pair.scan1Path = file1;
        pair.scan2Path = file2;
        if (prepareRegistration(settings, scans, pair) == PrepareResult::Fatal)
            return RunStatus::Fatal;
        if (pair.outputFailed)
            status = RunStatus::Failed;
    } else if (mode == 6) {
        settings.evaluatingRms = false;
        status = worse(status, runSite(settings.regFileName, settings, scans, pair));
    } else if (mode == 7) {
        status = worse(status, runSite(settings.rmsFileName, settings, scans, pair));
    } else if (mode == 8) {
        status = worse(status, writeTransformMatrices(settings, scans));
    } else if (mode == 9) {
        status = worse(status, exportGeoreferencedScans(settings, scans));
    }
    return status;
}
