#include "batch/run_modes.h"

#include "batch/constants.h"
#include "batch/engine/pair_context.h"
#include "batch/engine/pair_preparation.h"
#include "batch/inputs/configuration.h"
#include "batch/inputs/survey_database.h"
#include "batch/runs/linear_sequence.h"
#include "batch/runs/matrices_export.h"
#include "batch/runs/mode_work.h"
#include "batch/runs/pair_diagnostics.h"
#include "batch/runs/run_state.h"
#include "batch/runs/scan_rotation.h"
#include "batch/runs/site.h"

#include <cstdio>

namespace {

// The RMS of two loose point files, with every pair written to the diagnostic files.
RunStatus compareTwoFiles(const RegSettings& settings, PairContext& pair, const std::string& file1,
                          const std::string& file2)
{
    pair.scan1Path = file1;
    pair.scan2Path = file2;
    PrepareSteps steps;
    steps.fromScanTable = false;
    steps.measureInitialRms = true;
    DiagnosticFiles diagnostics;
    const PrepareResult prepared = prepareRegistration(settings, {}, pair, steps, &diagnostics);
    if (prepared == PrepareResult::Fatal)
        return RunStatus::Fatal;
    if (diagnostics.failed())
        return RunStatus::Failed;
    const bool valid = prepared == PrepareResult::Ready && pair.rms12 != static_cast<float>(NO_VALID_RMS)
        && pair.rms21 != static_cast<float>(NO_VALID_RMS);
    return valid ? RunStatus::Ok : RunStatus::Incomplete;
}

}  // namespace

RunStatus runSelectedMode(const RegSettings& settings, RunState& run, std::vector<ScanRecord>& scans, PairContext& pair,
                          SolverWorkspace& workspace, const std::string& file1, const std::string& file2)
{
    const ModeWork work = modeWork(run.runMode);
    RunStatus status = RunStatus::Ok;
    if (work.registersLine) {
        std::printf("REGISTERING SCANS\n");
        status = worse(
            status, runLinearSequence(settings.regFileName, PairTask::Register, settings, run, scans, pair, workspace));
        if (status == RunStatus::Fatal)
            return status;
        std::printf("REGISTRATION OF SCANS COMPLETE\n");
        std::printf("\n");
    }
    if (work.rotates) {
        std::printf("ROTATING SCANS\n");
        status = worse(status, rotateScans(settings, run, scans, work.evaluatesLine));
        if (status == RunStatus::Fatal)
            return status;
        std::printf("ROTATION OF SCANS COMPLETE\n");
        std::printf("\n");
    }
    if (work.evaluatesLine) {
        std::printf("EVALUATING RMS OF SCANS\n");
        status = worse(
            status, runLinearSequence(settings.rmsFileName, PairTask::Evaluate, settings, run, scans, pair, workspace));
        if (status == RunStatus::Fatal)
            return status;
        std::printf("EVALUATION OF RMS COMPLETE\n");
        std::printf("\n");
    }
    if (work.comparesTwoFiles)
        status = worse(status, compareTwoFiles(settings, pair, file1, file2));
    if (work.registersSite)
        status =
            worse(status, runSite(settings.regFileName, PairTask::Register, settings, run, scans, pair, workspace));
    if (work.evaluatesSite)
        status =
            worse(status, runSite(settings.rmsFileName, PairTask::Evaluate, settings, run, scans, pair, workspace));
    if (work.writesMatrices)
        status = worse(status, writeTransformMatrices(run, scans));
    if (work.exports)
        status = worse(status, exportGeoreferencedScans(run, scans, settings.threads));
    return status;
}
