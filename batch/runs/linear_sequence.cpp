#include "batch/runs/linear_sequence.h"

#include "batch/constants.h"
#include "batch/engine/pair_context.h"
#include "batch/engine/pair_preparation.h"
#include "batch/inputs/configuration.h"
#include "batch/inputs/survey_database.h"
#include "batch/outputs/output_file.h"
#include "batch/outputs/output_names.h"
#include "batch/runs/run_state.h"

#include <cstdio>
#include <ctime>

namespace {

// How the pair of scan i with one neighbour ended.
enum class PairStep { Done, Skipped, Unreadable, Fatal };

struct LinearRun {
    const RegSettings& settings;
    RunState& run;
    std::vector<ScanRecord>& scans;
    PairContext& pair;
    OutputFile& table;
    bool registering = false;
    SolverOutputs out{};  // kept for the whole run: the iteration column shows the last ping-pong count
    RunStatus status = RunStatus::Ok;

    // Evaluation reads the rotated copies when FILEEXT is 0; registration the scans' own files.
    bool readsRotatedFiles() const { return !registering && settings.FILEEXT == 0; }

    void setPair(int32_t i, int32_t j, bool rotatedFiles)
    {
        pair.scan1Index = i;
        pair.scan2Index = j;
        if (j < 0)
            return;
        const std::string& file1 = scans[static_cast<std::size_t>(i)].fileName;
        const std::string& file2 = scans[static_cast<std::size_t>(j)].fileName;
        pair.scan1Path = rotatedFiles ? rotatedFileName(file1) : file1;
        pair.scan2Path = rotatedFiles ? rotatedFileName(file2) : file2;
    }

    PairStep prepare(bool rotatedFiles)
    {
        PrepareSteps steps;
        steps.surveyFramePoints = rotatedFiles;
        steps.translateText = registering && settings.FILEEXT == 0;
        steps.measureInitialRms = registering;
        const PrepareResult prepared = prepareRegistration(settings, scans, pair, steps);
        if (prepared == PrepareResult::Fatal)
            return PairStep::Fatal;
        if (prepared == PrepareResult::NoPoints) {
            logUnreadablePair(run.logFile, pair);
            notePlanPair(run, pair, NO_VALID_RMS, true);
            if (registering)
                countUnreadablePair(run);
            status = worse(status, RunStatus::Incomplete);
            return PairStep::Unreadable;
        }
        return PairStep::Done;
    }

    // Run ALL evaluates the rotated copies its own rotation wrote; a copy it could not
    // write may be an old one, made with other rotations.
    bool rotatedInThisRun(int32_t i, int32_t j)
    {
        if (!readsRotatedFiles() || run.rotated.empty())
            return true;
        for (int32_t k : {i, j}) {
            if (run.rotated[static_cast<std::size_t>(k)])
                continue;
            const ScanRecord& a = scans[static_cast<std::size_t>(i)];
            const ScanRecord& b = scans[static_cast<std::size_t>(j)];
            const std::string file = rotatedFileName(scans[static_cast<std::size_t>(k)].fileName);
            std::printf("Scans %i and %i are not evaluated: the rotated file %s was not written in this run \n",
                        a.scanId, b.scanId, file.c_str());
            if (run.logFile != nullptr)
                std::fprintf(run.logFile,
                             "Scans %i and %i are not evaluated: the rotated file %s was not written in this run \n",
                             a.scanId, b.scanId, file.c_str());
            status = worse(status, RunStatus::Incomplete);
            return false;
        }
        return true;
    }

    // Registers the prepared pair; the rotations go to scan i's `side` field and
    // to the neighbour's opposite one, whether or not they improved the RMS.
    bool registerPair(int32_t i, int32_t j, bool south)
    {
        out.rotation1 = out.rotation2 = 0.0;
        const SolveResult solved = solveWithSelectedMethod(settings, scans, pair, out);
        if (solved.fatal)
            return false;
        storeSolverRecords(scans, pair, solved);
        ScanRecord& a = scans[static_cast<std::size_t>(i)];
        ScanRecord& b = scans[static_cast<std::size_t>(j)];
        (south ? a.rotationMinus : a.rotationPlus) = out.rotation1 * DEG_TO_RAD;
        (south ? b.rotationPlus : b.rotationMinus) = out.rotation2 * DEG_TO_RAD;
        const bool improved = writeRegistrationRow(table.get(), a.scanId, b.scanId, pair, solved.rms, out);
        notePlanPair(run, pair, improved ? solved.rms : static_cast<double>(pair.initialRms),
                     solved.rms == NO_VALID_RMS, improved ? &out : nullptr);
        if (reportRegistration(run, scans, pair, solved, out))
            status = worse(status, RunStatus::Incomplete);
        return true;
    }

    bool evaluatePairAt(int32_t i, int32_t j)
    {
        PairEvaluation e;
        if (!evaluatePair(settings, pair, e))
            return false;
        const ScanRecord& a = scans[static_cast<std::size_t>(i)];
        const ScanRecord& b = scans[static_cast<std::size_t>(j)];
        std::printf("RMS for scans %i and %i = %lf \n", a.scanId, b.scanId, e.rmsWave);
        std::printf("\n");
        std::printf("%i:  N:  %lf  S: %lf %i: N: %lf S: %lf\n", a.scanId, a.distPlus, a.distMinus, b.scanId, b.distPlus,
                    b.distMinus);
        std::printf("\n");
        writeRmsRow(table.get(), a.scanId, b.scanId, e, a.distMinus, pair.rangeValue);
        notePlanPair(run, pair, e.rmsWave, e.rmsWave == NO_VALID_RMS);
        if (e.rmsWave == NO_VALID_RMS)
            status = worse(status, RunStatus::Incomplete);
        return true;
    }

    // The pair of scan i with its south (west) neighbour: registered once, or evaluated.
    PairStep southPair(int32_t i)
    {
        const ScanRecord& scan = scans[static_cast<std::size_t>(i)];
        const int32_t j = scan.nbrMinus;
        setPair(i, j, readsRotatedFiles());
        if (j < 0 || (registering && rotationFound(scan.rotationMinus)))
            return PairStep::Skipped;
        if (!rotatedInThisRun(i, j))
            return PairStep::Unreadable;
        const PairStep prepared = prepare(readsRotatedFiles());
        if (prepared != PairStep::Done)
            return prepared;
        if (!(registering ? registerPair(i, j, true) : evaluatePairAt(i, j)))
            return PairStep::Fatal;
        ++pair.pairsDone;
        table.flush();
        return PairStep::Done;
    }

    // The pair of scan i with its north (east) neighbour, registered once.
    PairStep northPair(int32_t i)
    {
        const int32_t j = scans[static_cast<std::size_t>(i)].nbrPlus;
        setPair(i, j, false);
        if (j < 0 || rotationFound(scans[static_cast<std::size_t>(i)].rotationPlus))
            return PairStep::Skipped;
        const PairStep prepared = prepare(false);
        if (prepared != PairStep::Done)
            return prepared;
        if (!registerPair(i, j, false))
            return PairStep::Fatal;
        table.flush();
        ++pair.pairsDone;
        return PairStep::Done;
    }
};

}  // namespace

RunStatus runLinearSequence(const std::string& tablePath, PairTask task, const RegSettings& settings, RunState& state,
                            std::vector<ScanRecord>& scans, PairContext& pair)
{
    OutputFile table(tablePath, state.logFile, false);
    if (!table.isOpen()) {
        std::printf("Unable to create ouput file %s \n", tablePath.c_str());
        std::printf("Please verify that the path exists. \n");
        return RunStatus::Fatal;
    }
    state.pairs.clear();
    LinearRun run{settings, state, scans, pair, table, task == PairTask::Register};
    if (run.registering)
        writeRegistrationHeader(table.get());
    else
        writeRmsHeader(table.get());

    for (int32_t i = 0; i < static_cast<int32_t>(scans.size()); ++i) {
        const std::time_t start = std::time(nullptr);
        PairStep step = run.southPair(i);
        if (step == PairStep::Fatal)
            return RunStatus::Fatal;
        if (step == PairStep::Unreadable)
            continue;  // no north pair and no time message for this scan
        if (run.registering) {
            step = run.northPair(i);
            if (step == PairStep::Fatal)
                return RunStatus::Fatal;
            if (step == PairStep::Unreadable)
                continue;
        }
        std::printf(run.registering ? "Time for registration of scan %i is %i seconds \n"
                                    : "Time for RMS evaluation of scan %i is %i seconds \n",
                    scans[static_cast<std::size_t>(i)].scanId, secondsSince(start));
        std::printf("\n");
    }
    const bool written = table.close();
    std::printf("\n");
    return written ? run.status : RunStatus::Failed;
}
