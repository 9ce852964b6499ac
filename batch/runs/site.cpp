#include "batch/runs/site.h"

#include "batch/constants.h"
#include "batch/engine/pair_context.h"
#include "batch/engine/pair_preparation.h"
#include "batch/inputs/configuration.h"
#include "batch/inputs/survey_database.h"
#include "batch/outputs/output_file.h"
#include "batch/runs/run_state.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

// Registers or evaluates the prepared pair (i, j) and writes its row; Fatal when the
// run must stop, Incomplete when the pair has no valid RMS.
RunStatus processPair(const RegSettings& settings, RunState& run, std::vector<ScanRecord>& scans, PairContext& pair,
                      std::FILE* table, SolverOutputs& out, bool registering, double spacing)
{
    const ScanRecord& a = scans[static_cast<std::size_t>(pair.scan1Index)];
    const ScanRecord& b = scans[static_cast<std::size_t>(pair.scan2Index)];
    if (registering) {
        const SolveResult solved = solveWithSelectedMethod(settings, scans, pair, out);
        if (solved.fatal)
            return RunStatus::Fatal;
        storeSolverRecords(scans, pair, solved);
        const bool improved = writeRegistrationRow(table, a.scanId, b.scanId, pair, solved.rms, out);
        notePlanPair(run, pair, improved ? solved.rms : static_cast<double>(pair.initialRms),
                     solved.rms == NO_VALID_RMS, improved ? &out : nullptr);
        return reportRegistration(run, scans, pair, solved, out) ? RunStatus::Incomplete : RunStatus::Ok;
    }
    PairEvaluation e;
    if (!evaluatePair(settings, pair, e))
        return RunStatus::Fatal;
    std::printf("RMS for scans %i and %i = %lf \n", a.scanId, b.scanId, e.rmsWave);
    std::printf("\n");
    writeRmsRow(table, a.scanId, b.scanId, e, spacing, pair.rangeValue);
    notePlanPair(run, pair, e.rmsWave, e.rmsWave == NO_VALID_RMS);
    return e.rmsWave == NO_VALID_RMS ? RunStatus::Incomplete : RunStatus::Ok;
}

}  // namespace

RunStatus runSite(const std::string& tablePath, PairTask task, const RegSettings& settings, RunState& run,
                  std::vector<ScanRecord>& scans, PairContext& pair)
{
    const std::time_t runStart = std::time(nullptr);
    OutputFile table(tablePath, run.logFile, false);
    if (!table.isOpen()) {
        std::printf("Unable to create ouput file %s \n", tablePath.c_str());
        std::printf("Please verify that the path exists. \n");
        return RunStatus::Fatal;
    }
    run.pairs.clear();
    const bool registering = task == PairTask::Register;
    if (registering)
        writeRegistrationHeader(table.get());
    else
        writeRmsHeader(table.get());
    // The site run always reads the scans' own files.
    PrepareSteps steps;
    steps.translateText = registering && settings.FILEEXT == 0;
    steps.measureInitialRms = registering;
    RunStatus status = RunStatus::Ok;

    const int32_t n = static_cast<int32_t>(scans.size());
    for (int32_t i = 0; i < n; ++i) {
        const std::time_t start = std::time(nullptr);
        SolverOutputs out;  // the iteration column starts at 0 for every scan 1
        pair.scan1Index = i;
        pair.scan1Path = scans[static_cast<std::size_t>(i)].fileName;
        for (int32_t j = i + 1; j < n; ++j) {
            const ScanRecord& a = scans[static_cast<std::size_t>(i)];
            const ScanRecord& b = scans[static_cast<std::size_t>(j)];
            const double d = std::sqrt((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y));
            // Both ends of the window belong to it.
            if (d < settings.GPSMINDIST || d > settings.GPSMAXDIST)
                continue;
            pair.scan2Index = j;
            pair.scan2Path = b.fileName;
            const PrepareResult prepared = prepareRegistration(settings, scans, pair, steps);
            if (prepared == PrepareResult::Fatal)
                return RunStatus::Fatal;
            if (prepared == PrepareResult::NoPoints) {
                logUnreadablePair(run.logFile, pair);
                notePlanPair(run, pair, NO_VALID_RMS, true);
                if (registering)
                    countUnreadablePair(run);
                status = worse(status, RunStatus::Incomplete);
                continue;
            }
            const RunStatus processed = processPair(settings, run, scans, pair, table.get(), out, registering, d);
            if (processed == RunStatus::Fatal)
                return RunStatus::Fatal;
            status = worse(status, processed);
            ++pair.pairsDone;
            table.flush();
        }
        std::printf(registering ? "Time for registration of scan %i is %i seconds \n"
                                : "Time for RMS evaluation of scan %i is %i seconds \n",
                    scans[static_cast<std::size_t>(i)].scanId, secondsSince(start));
        std::printf("\n");
    }
    const bool written = table.close();
    std::printf("\n");
    std::printf(registering ? "Total Time for all registrations: %i seconds \n"
                            : "Total Time for all RMS evaluations: %i seconds \n",
                secondsSince(runStart));
    return written ? status : RunStatus::Failed;
}
