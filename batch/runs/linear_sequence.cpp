#include "batch/runs/linear_sequence.h"

#include "batch/inputs/configuration.h"
#include "batch/inputs/survey_database.h"
#include "batch/outputs/output_file.h"
#include "batch/runs/pair_protocol.h"
#include "batch/runs/run_state.h"

#include <cstdio>
#include <ctime>

namespace {

enum class Along { South, North };

// The pair of scan i with its south (west) neighbour, registered once or evaluated, or
// with its north (east) neighbour, registered once. Skipped (Done) without a neighbour
// or when the pair was registered from the other side already.
PairOutcome neighbourPair(PairRun& r, int32_t i, Along side)
{
    const ScanRecord& scan = r.scans[static_cast<std::size_t>(i)];
    const bool south = side == Along::South;
    const int32_t j = south ? scan.nbrMinus : scan.nbrPlus;
    const bool registering = r.task == PairTask::Register;
    if (j < 0 || (registering && rotationFound(south ? scan.rotationMinus : scan.rotationPlus)))
        return PairOutcome::Done;
    PairJob job;
    job.scan1 = i;
    job.scan2 = j;
    // Evaluation reads the rotated copies when FILEEXT is 0; registration the scans' own files.
    job.rotatedFiles = !registering && r.settings.FILEEXT == 0;
    job.side = south ? FoundSide::South : FoundSide::North;
    job.spacing = scan.distMinus;
    job.printsNeighbours = true;
    return runPair(r, job);
}

}  // namespace

RunStatus runLinearSequence(const std::string& tablePath, PairTask task, const RegSettings& settings, RunState& state,
                            std::vector<ScanRecord>& scans, PairContext& pair, SolverWorkspace& workspace)
{
    RunTables tables;
    if (!openRunTables(tablePath, task, settings, state.logFile, tables))
        return RunStatus::Fatal;
    state.pairs.clear();
    if (task == PairTask::Register)
        state.notTrustedPairs.clear();
    // One record of the method's outputs for the whole run: the iteration column shows
    // the last ping-pong count.
    PairRun run{settings,  state,         scans, pair,
                workspace, *tables.table, task,  tables.figures ? &*tables.figures : nullptr};
    const bool registering = task == PairTask::Register;

    for (int32_t i = 0; i < static_cast<int32_t>(scans.size()); ++i) {
        const std::time_t start = std::time(nullptr);
        PairOutcome outcome = neighbourPair(run, i, Along::South);
        if (outcome == PairOutcome::Done && registering)
            outcome = neighbourPair(run, i, Along::North);
        if (outcome == PairOutcome::Fatal)
            return RunStatus::Fatal;
        if (outcome == PairOutcome::Unreadable)
            continue;  // no time message for this scan
        std::printf(registering ? "Time for registration of scan %i is %i seconds \n"
                                : "Time for RMS evaluation of scan %i is %i seconds \n",
                    scans[static_cast<std::size_t>(i)].scanId, secondsSince(start));
        std::printf("\n");
    }
    const bool written = closeRunTables(tables);
    std::printf("\n");
    return written ? run.status : RunStatus::Failed;
}
