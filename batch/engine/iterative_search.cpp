#include "batch/constants.h"
#include "batch/engine/pair_context.h"
#include "batch/engine/solver_support.h"
#include "batch/engine/solvers.h"
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
    const RegSettings& settings;
    PairContext& pair;
    double c1x, c1y, c2x, c2y;  ///< metres, the scanners' positions
    double& rmsMin;             ///< metres, best RMS so far

    bool run(double r, double s, double& b1, double& b2)
    {
        std::vector<CubePoint>& work1 = pair.work1;
        std::vector<CubePoint>& work2 = pair.work2;
        rotateAboutVertical(work1, -r, c1x, c1y);
        double a1 = -r;
        if (r > 0.0) {
            do {
                a1 += s;
                rotateAboutVertical(work1, s, c1x, c1y);
                rotateAboutVertical(work2, -r, c2x, c2y);
                double a2 = -r;
                do {
                    a2 += s;
                    rotateAboutVertical(work2, s, c2x, c2y);
                    const PairingResult trial = pairRms(settings, pair, work2, work1, settings.MAXDISTINITIAL);
                    if (trial.tooManyPoints)
                        return false;
                    if (trial.rms < rmsMin) {
                        b1 = a1;
                        b2 = a2;
                        rmsMin = trial.rms;
                        printProgress();
                    }
                } while (a2 < r && advances(a2, s));
                rotateAboutVertical(work2, -a2, c2x, c2y);
            } while (a1 < r && advances(a1, s));
        }
        printProgress();
        // Leave scan 1 turned by b1 from where the iteration began, scan 2 by b2.
        rotateAboutVertical(work1, b1 - a1, c1x, c1y);
        rotateAboutVertical(work2, b2, c2x, c2y);
        return stampAndSort(settings, pair, work1) && stampAndSort(settings, pair, work2);
    }

    void printProgress() const
    {
        std::printf("registering points, Percent Complete %f, RMS:  %lf\r", pair.percentComplete, rmsMin);
    }
};

// Rebuilds one working copy from the prepared points turned by the total `angle`.
void rebuildWork(const std::vector<CubePoint>& prepared, std::vector<CubePoint>& work, ScanExtent& extent, double angle,
                 double cx, double cy)
{
    rotatedCopy(prepared, work, angle, cx, cy);
    extent = computeExtent(work);
}

}  // namespace

SolveResult solveIterativeSearch(const RegSettings& settings, const std::vector<ScanRecord>& scans, PairContext& pair,
                                 SolverOutputs& out)
{
    const ScanRecord& scan1 = scans[static_cast<std::size_t>(pair.scan1Index)];
    const ScanRecord& scan2 = scans[static_cast<std::size_t>(pair.scan2Index)];
    pair.work1 = pair.scan1.points;
    pair.work2 = pair.scan2.points;
    double rmsMin = pair.initialRms;
    double t1 = 0.0, t2 = 0.0;  // radians, total rotations over the finished repeats
    IterationSearch search{settings, pair, scan1.x, scan1.y, scan2.x, scan2.y, rmsMin};
    SolveResult result;

    for (int32_t repeat = 0; repeat < settings.MAXREPEAT; ++repeat) {
        double r = repeat == 0 ? std::fabs(settings.ALPHA) : std::fabs(settings.ALPHA) / (2.0 * repeat);
        double s = r / settings.ALPHAINC;
        double sum1 = 0.0, sum2 = 0.0;
        for (int32_t i = 0; i < settings.MAXITER; ++i) {
            pair.percentComplete =
                progressBase(pair) + (static_cast<double>(settings.MAXITER) * repeat + i) * pair.progressStep;
            search.printProgress();
            double b1 = 0.0, b2 = 0.0;
            if (i > 0) {
                r = s;
                s = r / settings.ALPHAINC;
            }
            if (!search.run(r, s, b1, b2)) {
                result.fatal = true;
                return result;
            }
            sum1 += b1;
            sum2 += b2;
        }
        t1 += sum1;
        t2 += sum2;
        // Start the next repeat from the prepared points turned by the totals, with fresh cubes.
        rebuildWork(pair.scan1.points, pair.work1, pair.scan1.extent, t1, scan1.x, scan1.y);
        rebuildWork(pair.scan2.points, pair.work2, pair.scan2.extent, t2, scan2.x, scan2.y);
        updateOverlap(pair);
        if (!stampAndSort(settings, pair, pair.work1) || !stampAndSort(settings, pair, pair.work2)) {
            result.fatal = true;
            return result;
        }
        // Re-measured after the re-stamping: this replaces the best even when it is larger.
        const PairingResult measured = pairRms(settings, pair, pair.work2, pair.work1, settings.MAXDISTINITIAL);
        if (measured.tooManyPoints) {
            result.fatal = true;
            return result;
        }
        rmsMin = measured.rms;
        out.pairCount = measured.pairCount;
    }
    out.rotation1 = RAD_TO_DEG * wrappedRadians(t1);
    out.rotation2 = RAD_TO_DEG * wrappedRadians(t2);
    if (static_cast<double>(pair.initialRms) > rmsMin)
        std::printf("RMSfinal:  %lf  rotations of b1 = %lf && b2 = %lf from %i pts\n", rmsMin, out.rotation1,
                    out.rotation2, out.pairCount);
    else
        printNotImproved(settings, pair, rmsMin, out.pairCount);
    std::printf("\n");
    result.rms = rmsMin;
    return result;
}
