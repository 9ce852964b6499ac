#include "batch/engine/solvers.h"

#include "batch/inputs/configuration.h"

SolveResult solveWithSelectedMethod(const RegSettings& settings, const std::vector<ScanRecord>& scans,
                                    PairContext& pair, SolverOutputs& out)
{
    if (settings.REGSOL == 1)
        return solveIterativeSearch(settings, scans, pair, out);
    if (settings.REGSOL == 0)
        return solvePartialLeastSquares(settings, scans, pair, out);
    if (settings.REGSOL == 3)
        return solvePointToPlane(settings, scans, pair, out);
    return solvePingPong(settings, scans, pair, out);
}
