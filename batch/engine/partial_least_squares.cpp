#include "batch/constants.h"
#include "batch/engine/pair_context.h"
#include "batch/engine/search_cubes.h"
#include "batch/engine/solution_methods.h"
#include "batch/engine/solver_support.h"
#include "batch/engine/solver_workspace.h"
#include "batch/engine/transform.h"
#include "batch/inputs/configuration.h"
#include "batch/inputs/survey_database.h"

#include <cmath>
#include <cstdio>

namespace {

struct PlsState {
    double rmsMin = NO_VALID_RMS;  ///< metres, best RMS so far
    double best1 = 0.0;            ///< radians, scan 1's rotation at the best trial
    double best2 = 0.0;            ///< radians, scan 2's rotation at the best trial
    double running2 = 0.0;         ///< radians, scan 2's running least-squares rotation (never reset)
    double increment = 0.0;        ///< radians, the last least-squares step
    float maxThr = 0.0f;           ///< metres, upper pair distance of this iteration
    float minThr = 0.0f;           ///< metres, lower pair distance of this iteration
};

struct PlsRun {
    PairSolve& s;
    const RegSettings& settings;
    PairContext& pair;
    const ScanRecord& scan2;
    PlsState& state;
    int32_t& pairCount;

    void printProgress() const
    {
        std::printf("Percent Complete %f RMSmin = %lf DistThresh: %f \r", s.progress.percentComplete, state.rmsMin,
                    static_cast<double>(state.maxThr));
    }

    CubeGrid work1Grid{};       ///< the grid scan 1's copy was last stamped in
    bool work1Stamped = false;  ///< false once scan 1's copy is made afresh

    // Scan 2 turned by the running rotation, fresh from the prepared points.
    void turnScan2() { rotatedCopy(pair.scan2.points, pair.work2, state.running2, scan2.x, scan2.y); }

    // Stamps both copies over the overlap box and sorts them. Scan 1's copy does not
    // move during a trial: in an unchanged grid its stamps and order stay as they are.
    bool stampBoth()
    {
        CubeGrid grid;
        if (!buildCubeGrid(pair.overlap, settings.ZMIN, settings, grid))
            return false;
        pair.cubeCount = grid.cubeCount;
        if (!(work1Stamped && grid == work1Grid)) {
            stampPoints(pair.work1, grid);
            sortByCube(pair.work1, pair.sortBuffers);
            work1Grid = grid;
            work1Stamped = true;
        }
        stampPoints(pair.work2, grid);
        sortByCube(pair.work2, pair.sortBuffers);
        return true;
    }

    // Solves scan 2's rotation for scan 1 at its trial angle: least-squares steps
    // until a step is smaller than ALPHATHRESH, at most 1000 of them. A step without
    // enough pairs ends the steps: it has no angle to add.
    bool solveScan2()
    {
        for (int pass = 0; pass < 1000; ++pass) {
            turnScan2();
            pair.scan2.extent = computeExtent(pair.work2);
            updateOverlap(pair);
            if (!stampBoth())
                return false;
            const PairingResult r =
                pairRotation(s, pair.work1, pair.work2, state.maxThr, state.minThr, scan2.x, scan2.y);
            if (r.tooManyPoints)
                return false;
            pairCount = r.pairCount;
            if (!r.angleFound)
                break;
            state.increment = r.angle;
            state.running2 += state.increment;
            if (std::fabs(state.increment) < settings.ALPHATHRESH)
                break;
        }
        return true;
    }

    // One trial angle of scan 1; false when the run must stop.
    bool trial(double t, int32_t k)
    {
        s.progress.percentComplete = progressBase(s.progress) + k * s.progress.progressStep;
        printProgress();
        rotatedCopy(pair.scan1.points, pair.work1, t, s.scan1.x, s.scan1.y);
        work1Stamped = false;
        pair.scan1.extent = computeExtent(pair.work1);
        if (!solveScan2())
            return false;
        // Scored over the box as it now stands; scan 2's extent is not refreshed here.
        turnScan2();
        if (!stampAndSort(settings, pair, pair.work2))
            return false;
        const PairingResult scored = pairRms(s, pair.work1, pair.work2, state.maxThr);
        if (scored.tooManyPoints)
            return false;
        pairCount = scored.pairCount;
        if (scored.rms < state.rmsMin) {
            state.best1 = t;
            state.best2 = state.running2;
            state.rmsMin = scored.rms;
            s.progress.percentComplete = progressBase(s.progress) + k * s.progress.progressStep;
            printProgress();
        }
        return true;
    }

    // Every trial angle of scan 1 from `lower` up to `upper` by `step`; false when the
    // run must stop.
    bool trials(double lower, double upper, double step, int32_t k)
    {
        for (double t = lower; t < upper;) {
            if (!trial(t, k))
                return false;
            // A step too small to move t (a very narrow interval far from 0) would
            // never reach the upper end.
            const double next = t + step;
            if (!(next > t))
                break;
            t = next;
        }
        return true;
    }
};

}  // namespace

void solvePartialLeastSquares(PairSolve& s, MethodResult& found)
{
    const RegSettings& settings = s.settings;
    PairContext& pair = s.pair;
    PlsState state;
    state.rmsMin = pair.initialRms;
    state.best1 = startingRotation(s.scan1);
    double centre = state.best1;  // radians, middle of scan 1's trial interval
    double halfWidth = settings.ALPHA;
    double previous1 = 9999.999, previous2 = 9999.999;
    PlsRun run{s, settings, pair, s.scan2, state, found.pairCount};

    for (int32_t k = 0; k < settings.MAXITER; ++k) {
        const double upper = centre + halfWidth, lower = centre - halfWidth;
        double step = halfWidth / settings.ALPHAINC;
        if (k > 1) {
            step = 2.0 * step;
            if ((upper - lower) * 0.25 > step)
                step = (upper - lower) * 0.25;
        }
        halfWidth = step;
        const int32_t j = scheduleStep(k, settings.MAXITER);
        state.maxThr = scheduledLimitSingle(settings.MAXDISTINITIAL, settings.MAXDISTFINAL, j, settings.MAXITER);
        state.minThr = scheduledLimitSingle(settings.MINDISTINITIAL, settings.MINDISTFINAL, j, settings.MAXITER);
        if (!run.trials(lower, upper, step, k)) {
            found.fatal = true;
            break;
        }
        centre = state.best1;
        const bool settled = std::fabs(previous1 - state.best1) <= settings.ALPHATHRESH
            && std::fabs(previous2 - state.best2) <= settings.ALPHATHRESH && state.rmsMin < settings.RMSTHRESH;
        previous1 = state.best1;
        previous2 = state.best2;
        if (settled)
            break;
    }
    pair.work1.clear();
    pair.work2.clear();
    found.angle1 = state.best1;
    found.angle2 = state.best2;
    found.rms = state.rmsMin;
}
