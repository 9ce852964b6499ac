#include "batch/engine/pair_context.h"
#include "batch/engine/solution_methods.h"
#include "batch/engine/solver_support.h"
#include "batch/engine/solver_workspace.h"
#include "batch/engine/solvers.h"
#include "batch/inputs/configuration.h"
#include "batch/inputs/survey_database.h"

#include <cstdio>

// The frame of every solve: the method is chosen, its scans looked up, and what it found
// is wrapped into a half turn, turned into degrees, recorded and reported the way that
// method reports it.

namespace {

enum class Method { IterativeSearch, PartialLeastSquares, PingPong, PointToPlane };

Method methodOf(int32_t regsol)
{
    if (regsol == 1)
        return Method::IterativeSearch;
    if (regsol == 0)
        return Method::PartialLeastSquares;
    if (regsol == 3)
        return Method::PointToPlane;
    return Method::PingPong;
}

void runMethod(Method method, PairSolve& s, MethodResult& found)
{
    switch (method) {
    case Method::IterativeSearch:
        searchIteratively(s, found);
        return;
    case Method::PartialLeastSquares:
        solvePartialLeastSquares(s, found);
        return;
    case Method::PingPong:
        solvePingPong(s, found);
        return;
    case Method::PointToPlane:
        solvePointToPlane(s, found);
        return;
    }
}

// The line of a result that improved on the pair's initial RMS.
void printFinal(Method method, const PairSolve& s, const MethodResult& found, const SolverOutputs& out)
{
    switch (method) {
    case Method::IterativeSearch:
        std::printf("RMSfinal:  %lf  rotations of b1 = %lf && b2 = %lf from %i pts\n", found.rms, out.rotation1,
                    out.rotation2, out.pairCount);
        return;
    case Method::PartialLeastSquares:
        std::printf("RMSfinal:  %lf  rotations of Scan %i = %lf && Scan %i = %lf from %i pts\n", found.rms,
                    s.scan1.scanId, out.rotation1, s.scan2.scanId, out.rotation2, out.pairCount);
        return;
    case Method::PingPong:
    case Method::PointToPlane:
        std::printf("RMSfinal:  %lf  rotations of Scan %i = %lf && Scan %i = %lf from %i pts in %i iterations\n",
                    found.rms, s.scan1.scanId, out.rotation1, s.scan2.scanId, out.rotation2, out.pairCount,
                    out.iterations);
        return;
    }
}

}  // namespace

SolveResult solveWithSelectedMethod(const RegSettings& settings, const std::vector<ScanRecord>& scans,
                                    PairContext& pair, SolverWorkspace& workspace, SolveProgress& progress,
                                    SolverOutputs& out)
{
    const Method method = methodOf(settings.REGSOL);
    if (method != Method::IterativeSearch)
        std::printf("Registering Scans\n");
    PairSolve s{settings,
                scans[static_cast<std::size_t>(pair.scan1Index)],
                scans[static_cast<std::size_t>(pair.scan2Index)],
                pair,
                progress,
                workspace};
    MethodResult found;
    found.pairCount = out.pairCount;
    found.passes = out.iterations;
    runMethod(method, s, found);
    SolveResult result;
    out.pairCount = found.pairCount;
    out.iterations = found.passes;
    if (found.fatal) {
        result.fatal = true;
        return result;
    }
    const double angle1 = wrappedRadians(found.angle1), angle2 = wrappedRadians(found.angle2);
    out.rotation1 = RAD_TO_DEG * angle1;
    out.rotation2 = RAD_TO_DEG * angle2;
    // The methods that settle both headings together keep the pair's record of them.
    result.hasFigures = found.hasFigures;
    result.figures = found.figures;
    const bool trusted = !found.hasFigures || found.figures.trusted || found.rms == NO_VALID_RMS;
    if (method == Method::PingPong || method == Method::PointToPlane) {
        // A result that is not trusted gives the scans no heading to start the next pair from.
        result.recordsRotations = true;
        result.scan1RotationMinus = trusted ? angle1 : 0.0;
        result.scan2RotationPlus = trusted ? angle2 : 0.0;
        result.unsettled = found.unsettled;
    }
    if (static_cast<double>(pair.initialRms) > found.rms)
        printFinal(method, s, found, out);
    else
        printNotImproved(settings, pair, found.rms, out.pairCount);
    std::printf("\n");
    result.rms = found.rms;
    return result;
}
