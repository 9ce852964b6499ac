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

struct PingPongState {
    double angle1 = 0.0;        ///< radians, scan 1's running rotation
    double angle2 = 0.0;        ///< radians, scan 2's running rotation
    double rms = NO_VALID_RMS;  ///< metres, the latest scan-2-against-scan-1 RMS
    double maxThr = 0.0;        ///< metres, upper pair distance of this repeat
    float minThr = 0.0f;        ///< metres, lower pair distance of this repeat (single precision)
    double lastStep = 0.0;      ///< radians, the larger step of the last pass
};

// The passes of one repeat: scan 2 turned onto scan 1, then scan 1 onto scan 2,
// each about its own scanner, in place. Returns false when the run must stop.
bool runPasses(PairSolve& s, PingPongState& st, MethodResult& found)
{
    const RegSettings& settings = s.settings;
    PairContext& pair = s.pair;
    const ScanRecord &scan1 = s.scan1, &scan2 = s.scan2;
    for (int32_t i = 0; i < settings.MAXITER; ++i) {
        const PairingResult toScan1 = pairRotation(s, pair.work1, pair.work2, st.maxThr, st.minThr, scan2.x, scan2.y);
        if (toScan1.tooManyPoints)
            return false;
        const double d1 = toScan1.angleFound ? toScan1.angle : 0.0;
        st.angle2 += d1;
        rotateAboutVertical(pair.work2, d1, scan2.x, scan2.y);

        const PairingResult toScan2 = pairRotation(s, pair.work2, pair.work1, st.maxThr, st.minThr, scan1.x, scan1.y);
        if (toScan2.tooManyPoints)
            return false;
        const double d2 = toScan2.angleFound ? toScan2.angle : 0.0;
        st.rms = toScan2.rms;
        found.pairCount = toScan2.pairCount;
        st.angle1 += d2;
        rotateAboutVertical(pair.work1, d2, scan1.x, scan1.y);

        s.progress.percentComplete = progressBase(s.progress);
        std::printf("%0.1f Complete, RMSmin = %lf, %i pts, Dist %f to %f \r", s.progress.percentComplete, st.rms,
                    found.pairCount, static_cast<double>(st.minThr), st.maxThr);
        const bool last = std::fabs(d1) < settings.ALPHATHRESH && std::fabs(d2) < settings.ALPHATHRESH;
        st.lastStep = std::fmax(std::fabs(d1), std::fabs(d2));
        ++found.passes;
        if (last)
            break;
    }
    return true;
}

}  // namespace

void solvePingPong(PairSolve& s, MethodResult& found)
{
    const RegSettings& settings = s.settings;
    PairContext& pair = s.pair;
    found.passes = 0;
    PingPongState st;
    st.rms = pair.initialRms;
    st.angle1 = startingRotation(s.scan1);
    st.angle2 = startingRotation(s.scan2);
    double previous1 = 0.0, previous2 = 0.0;
    updateOverlap(pair);

    for (int32_t r = 0; r < settings.MAXREPEAT; ++r) {
        const int32_t j = scheduleStep(r, settings.MAXREPEAT);
        st.maxThr = scheduledLimit(settings.MAXDISTINITIAL, settings.MAXDISTFINAL, j, settings.MAXREPEAT);
        st.minThr = scheduledLimitSingle(settings.MINDISTINITIAL, settings.MINDISTFINAL, j, settings.MAXREPEAT);
        // Each repeat starts afresh from the prepared points and the running rotations.
        rotatedCopy(pair.scan1.points, pair.work1, st.angle1, s.scan1.x, s.scan1.y);
        rotatedCopy(pair.scan2.points, pair.work2, st.angle2, s.scan2.x, s.scan2.y);
        if (!stampAndSort(settings, pair, pair.work1) || !stampAndSort(settings, pair, pair.work2)
            || !runPasses(s, st, found)) {
            found.fatal = true;
            break;
        }
        // MINDISTFINAL is compared with the single-precision limit: a value that
        // single precision cannot hold (0.1) never ends the repeats this way.
        const bool settled = std::fabs(st.angle1 - previous1) < settings.ALPHATHRESH
            && std::fabs(st.angle2 - previous2) < settings.ALPHATHRESH
            && static_cast<double>(st.minThr) == settings.MINDISTFINAL && st.maxThr == settings.MAXDISTFINAL;
        previous1 = st.angle1;
        previous2 = st.angle2;
        if (settled || st.rms < settings.RMSTHRESH)
            break;
    }
    pair.work1.clear();
    pair.work2.clear();
    found.angle1 = st.angle1;
    found.angle2 = st.angle2;
    found.rms = st.rms;
    found.unsettled = st.lastStep >= settings.ALPHATHRESH;
}
