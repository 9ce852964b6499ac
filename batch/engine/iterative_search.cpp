#include "batch/constants.h"
#include "batch/engine/pair_context.h"
#include "batch/engine/solution_methods.h"
#include "batch/engine/solver_support.h"
#include "batch/engine/solver_workspace.h"
#include "batch/engine/transform.h"
#include "batch/inputs/configuration.h"
#include "batch/inputs/survey_database.h"

#include <cmath>
#include <cstdio>

namespace {

// False when a step cannot move the angle forward any more (a step that is not
// positive, or too small for the angle's magnitude): the loop would never end.
bool advances(double angle, double step) { return angle + step > angle; }

// The search of one iteration: both working copies are turned step by step over
// the square of trial angles (-r, r] x (-r, r], each trial measured in one
// direction (scan 2 against scan 1). The best offsets go to b1, b2; false when a
// cube held too many points.
struct IterationSearch {
    PairSolve& s;
    double& rmsMin;  ///< metres, best RMS so far

    bool run(double r, double step, double& b1, double& b2)
    {
        std::vector<CubePoint>& work1 = s.pair.work1;
        std::vector<CubePoint>& work2 = s.pair.work2;
        const double c1x = s.scan1.x, c1y = s.scan1.y, c2x = s.scan2.x, c2y = s.scan2.y;
        rotateAboutVertical(work1, -r, c1x, c1y);
        double a1 = -r;
        if (r > 0.0) {
            do {
                a1 += step;
                rotateAboutVertical(work1, step, c1x, c1y);
                rotateAboutVertical(work2, -r, c2x, c2y);
                double a2 = -r;
                do {
                    a2 += step;
                    rotateAboutVertical(work2, step, c2x, c2y);
                    const PairingResult trial = pairRms(s, work2, work1, s.settings.MAXDISTINITIAL);
                    if (trial.tooManyPoints)
                        return false;
                    if (trial.rms < rmsMin) {
                        b1 = a1;
                        b2 = a2;
                        rmsMin = trial.rms;
                        printProgress();
                    }
                } while (a2 < r && advances(a2, step));
                rotateAboutVertical(work2, -a2, c2x, c2y);
            } while (a1 < r && advances(a1, step));
        }
        printProgress();
        // Leave scan 1 turned by b1 from where the iteration began, scan 2 by b2.
        rotateAboutVertical(work1, b1 - a1, c1x, c1y);
        rotateAboutVertical(work2, b2, c2x, c2y);
        return stampAndSort(s.settings, s.pair, work1) && stampAndSort(s.settings, s.pair, work2);
    }

    void printProgress() const
    {
        std::printf("registering points, Percent Complete %f, RMS:  %lf\r", s.progress.percentComplete, rmsMin);
    }
};

// Rebuilds one working copy from the prepared points turned by the total `angle`.
void rebuildWork(const std::vector<CubePoint>& prepared, std::vector<CubePoint>& work, ScanExtent& extent, double angle,
                 double cx, double cy)
{
    rotatedCopy(prepared, work, angle, cx, cy);
    extent = computeExtent(work);
}

// Starts the next repeat from the prepared points turned by the totals, with fresh
// cubes, and measures the RMS there; false when a cube held too many points.
bool restartRepeat(PairSolve& s, double t1, double t2, double& rmsMin, int32_t& pairCount)
{
    PairContext& pair = s.pair;
    rebuildWork(pair.scan1.points, pair.work1, pair.scan1.extent, t1, s.scan1.x, s.scan1.y);
    rebuildWork(pair.scan2.points, pair.work2, pair.scan2.extent, t2, s.scan2.x, s.scan2.y);
    updateOverlap(pair);
    if (!stampAndSort(s.settings, pair, pair.work1) || !stampAndSort(s.settings, pair, pair.work2))
        return false;
    // Re-measured after the re-stamping: this replaces the best even when it is larger.
    const PairingResult measured = pairRms(s, pair.work2, pair.work1, s.settings.MAXDISTINITIAL);
    if (measured.tooManyPoints)
        return false;
    rmsMin = measured.rms;
    pairCount = measured.pairCount;
    return true;
}

}  // namespace

void searchIteratively(PairSolve& s, MethodResult& found)
{
    const RegSettings& settings = s.settings;
    s.pair.work1 = s.pair.scan1.points;
    s.pair.work2 = s.pair.scan2.points;
    double rmsMin = s.pair.initialRms;
    double t1 = 0.0, t2 = 0.0;  // radians, total rotations over the finished repeats
    IterationSearch search{s, rmsMin};

    for (int32_t repeat = 0; repeat < settings.MAXREPEAT; ++repeat) {
        double r = repeat == 0 ? std::fabs(settings.ALPHA) : std::fabs(settings.ALPHA) / (2.0 * repeat);
        double step = r / settings.ALPHAINC;
        double sum1 = 0.0, sum2 = 0.0;
        for (int32_t i = 0; i < settings.MAXITER; ++i) {
            s.progress.percentComplete = progressBase(s.progress)
                + (static_cast<double>(settings.MAXITER) * repeat + i) * s.progress.progressStep;
            search.printProgress();
            double b1 = 0.0, b2 = 0.0;
            if (i > 0) {
                r = step;
                step = r / settings.ALPHAINC;
            }
            if (!search.run(r, step, b1, b2)) {
                found.fatal = true;
                return;
            }
            sum1 += b1;
            sum2 += b2;
        }
        t1 += sum1;
        t2 += sum2;
        if (!restartRepeat(s, t1, t2, rmsMin, found.pairCount)) {
            found.fatal = true;
            return;
        }
    }
    found.angle1 = t1;
    found.angle2 = t2;
    found.rms = rmsMin;
}
