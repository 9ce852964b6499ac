#pragma once

#include "batch/engine/solvers.h"
#include "batch/runs/pair_rows.h"
#include "batch/runs/run_status.h"

#include "batch/outputs/output_file.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

struct RegSettings;
struct RunState;
struct ScanRecord;
struct PairContext;
struct SolverWorkspace;

// The work on one pair of a survey run, the same for the linear and the site runs:
// prepare, register or evaluate, write the row, keep the books. Each run only decides
// its order of pairs and what each pair is.

// Where a registration stores the rotations it found in the two scan records.
enum class FoundSide {
    None,   ///< nowhere (a site run)
    South,  ///< scan 1's rotationMinus and scan 2's rotationPlus: scan 2 is scan 1's south neighbour
    North,  ///< scan 1's rotationPlus and scan 2's rotationMinus
};

// One pair of a run.
struct PairJob {
    int32_t scan1 = 0;                 ///< index in the scan table
    int32_t scan2 = 0;                 ///< index in the scan table
    bool rotatedFiles = false;         ///< read the rotated copies written by the rotation
    FoundSide side = FoundSide::None;  ///< where a registration stores its rotations
    double spacing = 0.0;              ///< metres, the spacing column of an evaluation's row
    bool printsNeighbours = false;     ///< an evaluation also prints both scans' neighbour distances
};

// What a run's pairs share.
struct PairRun {
    const RegSettings& settings;
    RunState& run;
    std::vector<ScanRecord>& scans;
    PairContext& pair;
    SolverWorkspace& workspace;
    OutputFile& table;
    PairTask task = PairTask::Register;
    OutputFile* figures = nullptr;     ///< the table of pair figures, when the method gives them
    SolverOutputs out{};               ///< kept from pair to pair: a value a method does not write stays
    RunStatus status = RunStatus::Ok;  ///< the worst of the pairs so far
};

// The tables a run over pairs writes: its registration or RMS table, and with REGSOL 3
// the figures behind each registered pair.
struct RunTables {
    std::optional<OutputFile> table;
    std::optional<OutputFile> figures;
};

/// Creates the run's tables and writes their headers; false (printed) when one cannot
/// be created.
bool openRunTables(const std::string& tablePath, PairTask task, const RegSettings& settings, std::FILE* log,
                   RunTables& tables);

/// Closes the run's tables; false (reported) when one could not be written.
bool closeRunTables(RunTables& tables);

// Done: the pair's row is written. Unreadable: a scan of the pair gave no points, or its
// rotated copy was not written by this run (said and logged). Fatal: the run must stop.
enum class PairOutcome { Done, Unreadable, Fatal };

/// Prepares, registers or evaluates the pair, writes its row and notes it for the plan.
PairOutcome runPair(PairRun& r, const PairJob& job);
