#include "batch/runs/pair_protocol.h"

#include "batch/constants.h"
#include "batch/engine/pair_context.h"
#include "batch/engine/pair_preparation.h"
#include "batch/inputs/configuration.h"
#include "batch/inputs/survey_database.h"
#include "batch/outputs/output_file.h"
#include "batch/outputs/output_names.h"
#include "batch/runs/run_state.h"

#include <algorithm>
#include <cstdio>

namespace {

void setPaths(PairRun& r, const PairJob& job)
{
    PairContext& pair = r.pair;
    pair.scan1Index = job.scan1;
    pair.scan2Index = job.scan2;
    const std::string& file1 = r.scans[static_cast<std::size_t>(job.scan1)].fileName;
    const std::string& file2 = r.scans[static_cast<std::size_t>(job.scan2)].fileName;
    pair.scan1Path = job.rotatedFiles ? rotatedFileName(file1) : file1;
    pair.scan2Path = job.rotatedFiles ? rotatedFileName(file2) : file2;
}

// Run ALL evaluates the rotated copies its own rotation wrote; a copy it could not
// write may be an old one, made with other rotations.
bool rotatedInThisRun(PairRun& r, const PairJob& job)
{
    if (!job.rotatedFiles || r.run.rotated.empty())
        return true;
    for (int32_t k : {job.scan1, job.scan2}) {
        if (r.run.rotated[static_cast<std::size_t>(k)])
            continue;
        const int32_t id1 = r.scans[static_cast<std::size_t>(job.scan1)].scanId;
        const int32_t id2 = r.scans[static_cast<std::size_t>(job.scan2)].scanId;
        const std::string file = rotatedFileName(r.scans[static_cast<std::size_t>(k)].fileName);
        std::printf("Scans %i and %i are not evaluated: the rotated file %s was not written in this run \n", id1, id2,
                    file.c_str());
        if (r.run.logFile != nullptr)
            std::fprintf(r.run.logFile,
                         "Scans %i and %i are not evaluated: the rotated file %s was not written in this run \n", id1,
                         id2, file.c_str());
        r.status = worse(r.status, RunStatus::Incomplete);
        ++r.run.evaluated.attempted;
        return false;
    }
    return true;
}

PairOutcome prepare(PairRun& r, const PairJob& job)
{
    const bool registering = r.task == PairTask::Register;
    PrepareSteps steps;
    steps.surveyFramePoints = job.rotatedFiles;
    steps.translateText = registering && r.settings.FILEEXT == 0;
    steps.measureInitialRms = registering;
    if (job.rotatedFiles)
        steps.readBacks = &r.run.rotatedReadBacks;
    const PrepareResult prepared = prepareRegistration(r.settings, r.scans, r.pair, steps);
    if (prepared == PrepareResult::Fatal)
        return PairOutcome::Fatal;
    if (prepared == PrepareResult::Ready)
        return PairOutcome::Done;
    logUnreadablePair(r.run.logFile, r.pair);
    notePlanPair(r.run, r.pair, NO_VALID_RMS, true);
    if (registering)
        countUnreadablePair(r.run);
    else
        ++r.run.evaluated.attempted;
    r.status = worse(r.status, RunStatus::Incomplete);
    return PairOutcome::Unreadable;
}

// Registers the prepared pair; the rotations go to the scan records where the job says,
// whether or not they improved the RMS.
bool registerPair(PairRun& r, const PairJob& job)
{
    const SolveResult solved = solveWithSelectedMethod(r.settings, r.scans, r.pair, r.workspace, r.run.progress, r.out);
    if (solved.fatal)
        return false;
    storeSolverRecords(r.scans, r.pair, solved);
    ScanRecord& a = r.scans[static_cast<std::size_t>(job.scan1)];
    ScanRecord& b = r.scans[static_cast<std::size_t>(job.scan2)];
    // A result that is not trusted leaves the scans at their database headings.
    const bool trusted = isTrusted(solved);
    if (job.side != FoundSide::None) {
        const bool south = job.side == FoundSide::South;
        (south ? a.rotationMinus : a.rotationPlus) = trusted ? r.out.rotation1 * DEG_TO_RAD : 0.0;
        (south ? b.rotationPlus : b.rotationMinus) = trusted ? r.out.rotation2 * DEG_TO_RAD : 0.0;
    }
    const bool improved = writeRegistrationRow(r.table.get(), a.scanId, b.scanId, r.pair, solved.rms, r.out, trusted);
    if (solved.hasFigures && r.figures != nullptr)
        writeFiguresRow(r.figures->get(), a.scanId, b.scanId, solved.figures);
    notePlanPair(r.run, r.pair, improved ? solved.rms : static_cast<double>(r.pair.initialRms),
                 solved.rms == NO_VALID_RMS, improved ? &r.out : nullptr);
    r.run.pairs.back().notTrusted = !trusted;
    if (!trusted)
        r.run.notTrustedPairs.emplace_back(job.scan1, job.scan2);
    if (reportRegistration(r.run, r.scans, r.pair, solved, r.out))
        r.status = worse(r.status, RunStatus::Incomplete);
    return true;
}

bool evaluatePreparedPair(PairRun& r, const PairJob& job)
{
    PairEvaluation e;
    if (!evaluatePair(r.settings, r.pair, e))
        return false;
    const ScanRecord& a = r.scans[static_cast<std::size_t>(job.scan1)];
    const ScanRecord& b = r.scans[static_cast<std::size_t>(job.scan2)];
    std::printf("RMS for scans %i and %i = %lf \n", a.scanId, b.scanId, e.rmsWave);
    std::printf("\n");
    if (job.printsNeighbours) {
        std::printf("%i:  N:  %lf  S: %lf %i: N: %lf S: %lf\n", a.scanId, a.distPlus, a.distMinus, b.scanId, b.distPlus,
                    b.distMinus);
        std::printf("\n");
    }
    writeRmsRow(r.table.get(), a.scanId, b.scanId, e, job.spacing, r.pair.rangeValue);
    notePlanPair(r.run, r.pair, e.rmsWave, e.rmsWave == NO_VALID_RMS);
    ++r.run.evaluated.attempted;
    if (e.rmsWave != NO_VALID_RMS) {
        ++r.run.evaluated.valid;
        return true;
    }
    r.status = worse(r.status, RunStatus::Incomplete);
    if (r.run.logFile != nullptr)
        std::fprintf(r.run.logFile, "RMS of scans %i and %i not valid: %i point pairs, fewer than MINNUMPTS (%i)\n",
                     a.scanId, b.scanId, std::max(e.np12, e.np21), r.settings.MINNUMPTS);
    return true;
}

}  // namespace

bool openRunTables(const std::string& tablePath, PairTask task, const RegSettings& settings, std::FILE* log,
                   RunTables& tables)
{
    const bool registering = task == PairTask::Register;
    tables.table.emplace(tablePath, log, false);
    if (registering && settings.REGSOL == 3)
        tables.figures.emplace(settings.pairsFileName, log, false);
    const std::string* failed = nullptr;
    if (!tables.table->isOpen())
        failed = &tablePath;
    else if (tables.figures && !tables.figures->isOpen())
        failed = &settings.pairsFileName;
    if (failed != nullptr) {
        std::printf("Unable to create ouput file %s \n", failed->c_str());
        std::printf("Please verify that the path exists. \n");
        return false;
    }
    if (registering)
        writeRegistrationHeader(tables.table->get());
    else
        writeRmsHeader(tables.table->get());
    if (tables.figures)
        writeFiguresHeader(tables.figures->get());
    return true;
}

bool closeRunTables(RunTables& tables)
{
    const bool table = tables.table->close();
    const bool figures = !tables.figures || tables.figures->close();
    return table && figures;
}

PairOutcome runPair(PairRun& r, const PairJob& job)
{
    setPaths(r, job);
    if (!rotatedInThisRun(r, job))
        return PairOutcome::Unreadable;
    const PairOutcome prepared = prepare(r, job);
    if (prepared != PairOutcome::Done)
        return prepared;
    const bool done = r.task == PairTask::Register ? registerPair(r, job) : evaluatePreparedPair(r, job);
    if (!done)
        return PairOutcome::Fatal;
    ++r.run.progress.pairsDone;
    r.table.flush();
    if (r.figures != nullptr)
        r.figures->flush();
    return PairOutcome::Done;
}
