#include "batch/runs/site.h"

#include "batch/inputs/configuration.h"
#include "batch/inputs/survey_database.h"
#include "batch/outputs/output_file.h"
#include "batch/runs/pair_protocol.h"
#include "batch/runs/run_state.h"

#include <cmath>
#include <cstdio>
#include <ctime>

RunStatus runSite(const std::string& tablePath, PairTask task, const RegSettings& settings, RunState& state,
                  std::vector<ScanRecord>& scans, PairContext& pair, SolverWorkspace& workspace)
{
    const std::time_t runStart = std::time(nullptr);
    RunTables tables;
    if (!openRunTables(tablePath, task, settings, state.logFile, tables))
        return RunStatus::Fatal;
    state.pairs.clear();
    if (task == PairTask::Register)
        state.notTrustedPairs.clear();
    const bool registering = task == PairTask::Register;
    PairRun run{settings,  state,         scans, pair,
                workspace, *tables.table, task,  tables.figures ? &*tables.figures : nullptr};

    const int32_t n = static_cast<int32_t>(scans.size());
    for (int32_t i = 0; i < n; ++i) {
        const std::time_t start = std::time(nullptr);
        run.out = SolverOutputs{};  // the iteration column starts at 0 for every scan 1
        for (int32_t j = i + 1; j < n; ++j) {
            const ScanRecord& a = scans[static_cast<std::size_t>(i)];
            const ScanRecord& b = scans[static_cast<std::size_t>(j)];
            const double d = std::sqrt((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y));
            // Both ends of the window belong to it.
            if (d < settings.GPSMINDIST || d > settings.GPSMAXDIST)
                continue;
            // The site run always reads the scans' own files, and keeps no rotations in
            // the scan records beyond what a method records itself.
            PairJob job;
            job.scan1 = i;
            job.scan2 = j;
            job.spacing = d;
            if (runPair(run, job) == PairOutcome::Fatal)
                return RunStatus::Fatal;
        }
        std::printf(registering ? "Time for registration of scan %i is %i seconds \n"
                                : "Time for RMS evaluation of scan %i is %i seconds \n",
                    scans[static_cast<std::size_t>(i)].scanId, secondsSince(start));
        std::printf("\n");
    }
    const bool written = closeRunTables(tables);
    std::printf("\n");
    std::printf(registering ? "Total Time for all registrations: %i seconds \n"
                            : "Total Time for all RMS evaluations: %i seconds \n",
                secondsSince(runStart));
    return written ? run.status : RunStatus::Failed;
}
