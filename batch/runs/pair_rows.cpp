#include "batch/runs/pair_rows.h"

#include "batch/engine/pair_context.h"
#include "batch/engine/pairing.h"
#include "batch/inputs/configuration.h"
#include "batch/inputs/survey_database.h"
#include "batch/runs/run_state.h"

#include <ctime>

void storeSolverRecords(std::vector<ScanRecord>& scans, const PairContext& pair, const SolveResult& solved)
{
    if (!solved.recordsRotations)
        return;
    scans[static_cast<std::size_t>(pair.scan1Index)].rotationMinus = solved.scan1RotationMinus;
    scans[static_cast<std::size_t>(pair.scan2Index)].rotationPlus = solved.scan2RotationPlus;
}

bool isTrusted(const SolveResult& solved)
{
    return !solved.hasFigures || solved.figures.trusted || solved.rms == NO_VALID_RMS;
}

bool reportRegistration(RunState& run, const std::vector<ScanRecord>& scans, const PairContext& pair,
                        const SolveResult& solved, const SolverOutputs& out)
{
    const int32_t id1 = scans[static_cast<std::size_t>(pair.scan1Index)].scanId;
    const int32_t id2 = scans[static_cast<std::size_t>(pair.scan2Index)].scanId;
    ++run.tally.attempted;
    const bool failed = solved.rms == NO_VALID_RMS || !isTrusted(solved);
    if (solved.rms == NO_VALID_RMS) {
        ++run.tally.failed;
        if (run.logFile != nullptr)
            std::fprintf(run.logFile, "Registration of scans %i and %i failed: too few point pairs\n", id1, id2);
    } else if (!isTrusted(solved)) {
        ++run.tally.failed;
        const char* reason = solved.figures.reason.c_str();
        std::printf("Scans %i and %i: registration not trusted: %s\n", id1, id2, reason);
        if (run.logFile != nullptr)
            std::fprintf(run.logFile, "Scans %i and %i: registration not trusted: %s\n", id1, id2, reason);
    } else if (static_cast<double>(pair.initialRms) > solved.rms) {
        ++run.tally.improved;
    } else {
        ++run.tally.notImproved;
    }
    if (solved.unsettled && isTrusted(solved)) {
        std::printf("Scans %i and %i: stopped at the iteration limit (%i passes) before the heading settled; "
                    "raise MAXITER or MAXREPEAT\n",
                    id1, id2, out.iterations);
        if (run.logFile != nullptr)
            std::fprintf(run.logFile,
                         "Scans %i and %i: stopped at the iteration limit (%i passes) before the heading settled; "
                         "raise MAXITER or MAXREPEAT\n",
                         id1, id2, out.iterations);
    }
    return failed;
}

void notePlanPair(RunState& run, const PairContext& pair, double rms, bool failed, const SolverOutputs* found)
{
    PlanPair p;
    p.scan1 = pair.scan1Index;
    p.scan2 = pair.scan2Index;
    p.rms = rms;
    p.failed = failed;
    if (found != nullptr) {
        p.rotation1 = found->rotation1;
        p.rotation2 = found->rotation2;
    }
    run.pairs.push_back(p);
}

void countUnreadablePair(RunState& run)
{
    ++run.tally.attempted;
    ++run.tally.failed;
}

void writeRegistrationHeader(std::FILE* table)
{
    std::fprintf(table, "scan1,rotation2,scan2,rotation2,rms,numpts,num_iters \n");
}

bool writeRegistrationRow(std::FILE* table, int32_t id1, int32_t id2, const PairContext& pair, double finalRms,
                          const SolverOutputs& out, bool trusted)
{
    const double initial = pair.initialRms;
    if (initial > finalRms && trusted) {
        std::fprintf(table, "%i,%lf,%i,%lf,%lf,%i,%i\n", id1, out.rotation1, id2, out.rotation2, finalRms,
                     out.pairCount, out.iterations);
        return true;
    }
    std::fprintf(table, "%i,0.000000,%i,0.000000,%lf,%i,%i\n", id1, id2, initial, out.pairCount, out.iterations);
    return false;
}

void writeFiguresHeader(std::FILE* table)
{
    std::fprintf(table,
                 "scan1,scan2,relative(degrees),relative_sigma(degrees),common(degrees),common_sigma(degrees),"
                 "correlation,rms,noise_floor,numpts,sampled,searched,verdict,reason\n");
}

void writeFiguresRow(std::FILE* table, int32_t id1, int32_t id2, const PairFigures& f)
{
    const char* verdict = f.rms == NO_VALID_RMS ? "failed" : f.trusted ? "trusted" : "not trusted";
    const char* reason = f.rms == NO_VALID_RMS ? "too few point pairs" : f.reason.c_str();
    std::fprintf(table, "%i,%i,%lf,%lf,%lf,%lf,%lf,%lf,%lf,%i,%i,%i,%s,\"%s\"\n", id1, id2, f.relative, f.relativeSigma,
                 f.common, f.commonSigma, f.correlation, f.rms, f.noiseFloor, f.pairs, f.sampled, f.searched ? 1 : 0,
                 verdict, reason);
}

bool evaluatePair(const RegSettings& settings, PairContext& pair, PairEvaluation& e)
{
    const PairingResult r12 =
        computePairRms(settings, {pair.scan1.points, pair.scan2.points, pair.cubeCount, settings.ZMIN},
                       settings.MAXDISTFINAL, pair.candidates);
    if (r12.tooManyPoints)
        return false;
    const PairingResult r21 =
        computePairRms(settings, {pair.scan2.points, pair.scan1.points, pair.cubeCount, settings.ZMIN},
                       settings.MAXDISTFINAL, pair.candidates);
    if (r21.tooManyPoints)
        return false;
    e.rms12 = r12.rms;
    e.np12 = r12.pairCount;
    e.rms21 = r21.rms;
    e.np21 = r21.pairCount;
    // A direction without a valid RMS (fewer pairs than MINNUMPTS) has no value to
    // weigh in; without any valid direction the table shows the program's marker.
    const double n12 = e.rms12 == NO_VALID_RMS ? 0.0 : e.np12, n21 = e.rms21 == NO_VALID_RMS ? 0.0 : e.np21;
    const double pairs = n12 + n21;
    e.rmsWave = pairs > 0.0 ? (n12 * e.rms12 + n21 * e.rms21) / pairs : NO_VALID_RMS;
    return true;
}

void writeRmsHeader(std::FILE* table)
{
    std::fprintf(table, "scan1,scan2,rms12,np12,rms21,np21,rmswave,spacing,range \n");
}

void writeRmsRow(std::FILE* table, int32_t id1, int32_t id2, const PairEvaluation& e, double spacing, double range)
{
    std::fprintf(table, "%i,%i,%lf,%i,%lf,%i,%lf,%lf,%lf\n", id1, id2, e.rms12, e.np12, e.rms21, e.np21, e.rmsWave,
                 spacing, range);
}

void logUnreadablePair(std::FILE* log, const PairContext& pair)
{
    if (log == nullptr)
        return;
    // Only the scans that gave no points are named: the other one is fine.
    const bool first = pair.scan1.points.empty(), second = pair.scan2.points.empty();
    if (first && second) {
        std::fprintf(log, "Unable to open files: %s \n", pair.scan1Path.c_str());
        std::fprintf(log, " and %s \n", pair.scan2Path.c_str());
    } else {
        std::fprintf(log, "Unable to open file: %s \n", (first ? pair.scan1Path : pair.scan2Path).c_str());
    }
    std::fprintf(log, "Please check your GPS file for an error here. \n");
}

int32_t secondsSince(std::time_t start) { return static_cast<int32_t>(std::difftime(std::time(nullptr), start)); }
