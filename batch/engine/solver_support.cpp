#include "batch/engine/solver_support.h"

#include "batch/constants.h"
#include "batch/engine/pair_context.h"
#include "batch/engine/search_cubes.h"
#include "batch/engine/solution_methods.h"
#include "batch/engine/solver_workspace.h"
#include "batch/engine/transform.h"
#include "batch/inputs/configuration.h"
#include "batch/inputs/survey_database.h"

#include <cmath>
#include <cstdio>

double wrappedRadians(double radians)
{
    const double degrees = RAD_TO_DEG * radians;
    if (degrees <= 180.0 && degrees > -180.0)
        return radians;
    const double turns = std::floor((180.0 - degrees) / 360.0);
    return radians + turns * 2.0 * 3.14159265;
}

double startingRotation(const ScanRecord& scan)
{
    if (rotationFound(scan.rotationPlus))
        return scan.rotationPlus;
    if (rotationFound(scan.rotationMinus))
        return scan.rotationMinus;
    return 0.0;
}

double progressBase(const SolveProgress& progress)
{
    if (progress.pairsInAll <= 0)
        return 0.0;
    return static_cast<double>((static_cast<int64_t>(progress.pairsDone) * 100) / progress.pairsInAll);
}

namespace {

// A schedule of one step has no slope: its only step is the initial value.
double unclampedLimit(double initial, double final, int32_t step, int32_t steps)
{
    return steps > 1 ? initial - (initial - final) * step / (steps - 1) : initial;
}

}  // namespace

double scheduledLimit(double initial, double final, int32_t step, int32_t steps)
{
    const double limit = unclampedLimit(initial, final, step, steps);
    return final > limit ? final : limit;
}

float scheduledLimitSingle(double initial, double final, int32_t step, int32_t steps)
{
    const float limit = static_cast<float>(unclampedLimit(initial, final, step, steps));
    return final > static_cast<double>(limit) ? static_cast<float>(final) : limit;
}

int32_t scheduleStep(int32_t k, int32_t count)
{
    if (count < 10)
        return k;
    return static_cast<int32_t>(static_cast<int64_t>(count) * k / 10);
}

bool stampAndSort(const RegSettings& settings, PairContext& pair, std::vector<CubePoint>& points)
{
    if (!assignCubes(points, pair.overlap, settings.ZMIN, settings, pair.cubeCount))
        return false;
    sortByCube(points, pair.sortBuffers);
    return true;
}

void updateOverlap(PairContext& pair) { pair.overlap = overlapOf(pair.scan1.extent, pair.scan2.extent); }

PairingResult pairRms(PairSolve& s, const std::vector<CubePoint>& query, const std::vector<CubePoint>& reference,
                      double maxDist)
{
    ++s.progress.walkCount;
    return computePairRms(s.settings, {query, reference, s.pair.cubeCount, s.settings.ZMIN}, maxDist,
                          s.pair.candidates);
}

PairingResult pairRotation(PairSolve& s, const std::vector<CubePoint>& query, const std::vector<CubePoint>& reference,
                           double maxDist, double minDist, double cx, double cy)
{
    ++s.progress.walkCount;
    return computePairRotation(s.settings, {query, reference, s.pair.cubeCount, s.settings.ZMIN}, maxDist, minDist, cx,
                               cy, s.pair.candidates);
}

void printNotImproved(const RegSettings& settings, const PairContext& pair, double finalRms, int32_t pairCount)
{
    if (finalRms == NO_VALID_RMS) {
        std::printf("RMSfinal:  %lf  Registration failed: %i point pairs, fewer than MINNUMPTS (%i) \n", finalRms,
                    pairCount, settings.MINNUMPTS);
        return;
    }
    std::printf("RMSfinal:  %lf  No rotation necessary.  Scan is at optimal alignment \n",
                static_cast<double>(pair.initialRms));
}
