#include "batch/engine/plane_solve.h"

#include "batch/constants.h"
#include "batch/engine/heading_step.h"
#include "batch/engine/local_plane.h"
#include "batch/engine/pair_context.h"
#include "batch/engine/reference_index.h"
#include "batch/engine/solution_methods.h"
#include "batch/engine/solver_support.h"
#include "batch/engine/solver_workspace.h"
#include "batch/inputs/configuration.h"
#include "batch/inputs/survey_database.h"
#include "batch/parallel_for.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

// Point-to-plane Gauss-Newton from given headings: each pass pairs sampled points of one scan (the query
// scan) with planes fitted to their nearest points of the other (the reference scan),
// and takes the closed-form Gauss-Newton step of both headings, each a turn about the
// vertical through its own scanner. Both headings are observable: a turn of one scan
// against the other shows directly, a turn of both together as a shift across their
// baseline. The work is done in the reference scan's own frame as the preparation left
// it, so its points are indexed once; the query scan's points are carried into it.

namespace {

// The plane of a query point is fitted to its nearest reference points: up to
// PLANE_POINTS of them within PLANE_REACH, and never fewer than the three nearest.
// Measured on dense cliff scans, eight points give better planes than three; on sparse
// terrain scans (about a point per square metre) eight points reach over metres of a
// curved slope, and the three nearest do better. The reach keeps each where it wins.
constexpr int32_t PLANE_POINTS = 8;
constexpr double PLANE_REACH = 0.5;  // metres

// Query points a pass pairs at least, where the scan has them.
constexpr int64_t MIN_QUERY_POINTS = 20000;

// The Cauchy kernel's width, in units of the previous pass's RMS.
constexpr double KERNEL_WIDTH = 2.0;

// Below half its own standard error, a step cannot make a heading better.
constexpr double NOISE_FRACTION = 0.5;

// A query point that moved less than this since its plane was fitted keeps the plane
// (metres): its nearest reference points are still the same, or as good.
constexpr double REFIT_DISTANCE = 0.001;

// The two scans of the solve: which is which, where their scanners stand.
struct SolvePair {
    const std::vector<CubePoint>* query = nullptr;  ///< the query scan's prepared points
    double qx = 0.0, qy = 0.0;                      ///< metres, the query scan's scanner
    double rx = 0.0, ry = 0.0;                      ///< metres, the reference scan's scanner
    bool queryIsScan2 = true;                       ///< else scan 1 is the query scan
};

// Planes of this many reference points at most give the noise floor; below NOISE_POINTS
// points a plane says too little about the scatter.
constexpr int32_t NOISE_POINTS = 8;
constexpr int32_t NOISE_LEAST = 5;
constexpr std::size_t NOISE_PLANES = 2000;  // planes looked at, at most

// Query points a thread takes at least in one pass.
constexpr int64_t PASS_PIECE = 2048;

// The query points of every cube that lie inside the z window (indices into `points`),
// and where each cube's run of them begins.
void pointsInWindow(const RegSettings& settings, const std::vector<CubePoint>& points, int32_t cubeCount,
                    std::vector<int32_t>& inWindow, std::vector<int32_t>& runStart)
{
    inWindow.clear();
    runStart.clear();
    for (std::size_t i = 0; i < points.size(); ++i) {
        const CubePoint& p = points[i];
        if (p.cube < 0 || p.cube >= cubeCount || !(settings.ZMIN < p.z && p.z < settings.ZMAX))
            continue;
        if (inWindow.empty() || points[static_cast<std::size_t>(inWindow.back())].cube != p.cube)
            runStart.push_back(static_cast<int32_t>(inWindow.size()));
        inWindow.push_back(static_cast<int32_t>(i));
    }
    runStart.push_back(static_cast<int32_t>(inWindow.size()));
}

// Query points: from every cube at most `cap` evenly spaced points, where cap is the
// larger of NUMPPC and the smallest number that gives MIN_QUERY_POINTS in all (so a
// sparse scan gives every point it has).
void sampleQueryPoints(const RegSettings& settings, const std::vector<CubePoint>& points, int32_t cubeCount,
                       std::vector<int32_t>& sample)
{
    std::vector<int32_t> inWindow, runStart;
    pointsInWindow(settings, points, cubeCount, inWindow, runStart);
    const std::size_t runs = runStart.size() - 1;
    auto takenWith = [&](int64_t cap) {
        int64_t taken = 0;
        for (std::size_t r = 0; r < runs; ++r)
            taken += std::min<int64_t>(runStart[r + 1] - runStart[r], cap);
        return taken;
    };
    int64_t cap = settings.NUMPPC > 0 ? settings.NUMPPC : 1;
    // Doubling, then halving back: the sum only grows with the cap.
    int64_t low = cap, high = cap;
    while (takenWith(high) < MIN_QUERY_POINTS && high < static_cast<int64_t>(inWindow.size()))
        high *= 2;
    while (low < high) {
        const int64_t middle = low + (high - low) / 2;
        if (takenWith(middle) >= MIN_QUERY_POINTS)
            high = middle;
        else
            low = middle + 1;
    }
    cap = std::max(cap, low);
    sample.clear();
    for (std::size_t r = 0; r < runs; ++r) {
        const int64_t m = runStart[r + 1] - runStart[r];
        const int64_t take = std::min(m, cap);
        for (int64_t k = 0; k < take; ++k)
            sample.push_back(inWindow[static_cast<std::size_t>(runStart[r] + k * m / take)]);
    }
}

// Fits the plane of a query point at (x, y, z) of the reference frame.
void fitPlaneAt(const ReferenceIndex& reference, double x, double y, double z, QueryPlane& cached)
{
    Neighbour nearest[MAX_NEIGHBOURS];
    double fit[MAX_NEIGHBOURS][3];
    cached.x = x;
    cached.y = y;
    cached.z = z;
    cached.state = 2;
    int32_t found = nearestReferencePoints(reference, x, y, z, PLANE_POINTS, nearest);
    if (found > 3) {
        const double reach2 = std::max(nearest[2].d2, PLANE_REACH * PLANE_REACH);
        while (found > 3 && nearest[found - 1].d2 > reach2)
            --found;
    }
    for (int32_t k = 0; k < found; ++k) {
        const CubePoint& q = (*reference.points)[static_cast<std::size_t>(nearest[k].index)];
        fit[k][0] = q.x;
        fit[k][1] = q.y;
        fit[k][2] = q.z;
    }
    if (found >= 3 && fitLocalPlane(fit, found, cached.plane)) {
        cached.state = 1;
        cached.nearestD2 = nearest[0].d2;
    }
}

// One pairing walk with the query scan turned by `queryAngle` and the reference scan by
// `referenceAngle` (radians, survey frame).
// One pairing walk with the query scan turned by `queryAngle` and the reference scan by
// `referenceAngle` (radians, survey frame). The planes are found on every thread, each
// query point's pair kept in its own slot; the pairs are added up afterwards, in order.
HeadingSystem pairPlanes(PointToPlaneWorkspace& w, const SolvePair& s, int32_t threads, double queryAngle,
                         double referenceAngle, double minThr, double maxThr, double scale)
{
    // A query point p stands at R(queryAngle)(p - qc) + qc in the survey frame, and at
    // R(queryAngle - referenceAngle)(p - qc) + qc' in the reference frame, where
    // qc' = R(-referenceAngle)(qc - rc) + rc is the query scanner seen from there.
    const double a = queryAngle - referenceAngle;
    const double sa = std::sin(a), ca = std::cos(a);
    const double sr = std::sin(-referenceAngle), cr = std::cos(-referenceAngle);
    const double ux = s.qx - s.rx, uy = s.qy - s.ry;
    const double cx = ux * cr - uy * sr + s.rx, cy = ux * sr + uy * cr + s.ry;
    const std::vector<CubePoint>& points = *s.query;
    const double maxThr2 = maxThr * maxThr, refit2 = REFIT_DISTANCE * REFIT_DISTANCE;
    const int64_t count = static_cast<int64_t>(w.querySample.size());
    w.residuals.resize(w.querySample.size());
    w.paired.resize(w.querySample.size());
    parallelFor(threads, count, PASS_PIECE, [&](int64_t begin, int64_t end) {
        for (int64_t k = begin; k < end; ++k) {
            const std::size_t i = static_cast<std::size_t>(k);
            const CubePoint& p = points[static_cast<std::size_t>(w.querySample[i])];
            const double dx = p.x - s.qx, dy = p.y - s.qy;
            const double at[3] = {dx * ca - dy * sa + cx, dx * sa + dy * ca + cy, p.z};
            QueryPlane& cached = w.queryPlanes[i];
            const double mx = at[0] - cached.x, my = at[1] - cached.y, mz = at[2] - cached.z;
            if (cached.state == 0 || !(mx * mx + my * my + mz * mz < refit2))
                fitPlaneAt(w.reference, at[0], at[1], at[2], cached);
            w.paired[i] = 0;
            // The nearest reference point must lie within reach: a plane stretched over
            // points farther away would reach past the edge of the reference scan.
            if (cached.state != 1 || !(cached.nearestD2 <= maxThr2))
                continue;
            const LocalPlane& plane = cached.plane;
            const double q[3] = {plane.cx, plane.cy, plane.cz}, n[3] = {plane.nx, plane.ny, plane.nz};
            w.residuals[i] = planeResidual(at, q, n, cx, cy, s.rx, s.ry);
            const double distance = std::fabs(w.residuals[i].e);
            w.paired[i] = minThr <= distance && distance <= maxThr ? 1 : 0;
        }
    });
    HeadingSystem system;
    for (std::size_t k = 0; k < w.querySample.size(); ++k)
        if (w.paired[k] != 0)
            addPair(system, w.residuals[k], scale);
    return system;
}

bool isSmall(double step, double error, double threshold)
{
    return std::fabs(step) < threshold || std::fabs(step) < NOISE_FRACTION * error;
}

// Where a solve stands: both headings (radians, survey frame), the fit and the kernel.
struct SolveState {
    double queryAngle = 0.0;      ///< the query scan's heading
    double referenceAngle = 0.0;  ///< the reference scan's heading
    double rms = NO_VALID_RMS;    ///< metres, of the last pass
    double scale = 0.0;           ///< metres, the kernel's width; 0: no kernel until a pass has measured the fit
    HeadingStep step;             ///< the last pass's step
    HeadingSystem system;         ///< the last pass's pairs
    int32_t pairCount = 0;        ///< pairs of the last pass
    bool lastStepSmall = true;    ///< the last pass's steps changed the headings no more than they can be known
    double minThr = 0.0;          ///< metres, the distance window of the last pass
    double maxThr = 0.0;
};

// Chooses the query and the reference scan (the denser scan gives the planes; on a tie,
// scan 1), indexes the reference scan and samples the query scan. False when the grid
// is too large (printed).
bool setUpSolve(PairSolve& solve, SolvePair& s, SolveState& st, double start1, double start2)
{
    PairContext& pair = solve.pair;
    PointToPlaneWorkspace& w = solve.workspace.pointToPlane;
    s.queryIsScan2 = pair.scan2.points.size() <= pair.scan1.points.size();
    const ScanRecord& query = s.queryIsScan2 ? solve.scan2 : solve.scan1;
    const ScanRecord& reference = s.queryIsScan2 ? solve.scan1 : solve.scan2;
    std::vector<CubePoint>& referencePoints = s.queryIsScan2 ? pair.scan1.points : pair.scan2.points;
    s.query = s.queryIsScan2 ? &pair.scan2.points : &pair.scan1.points;
    s.qx = query.x;
    s.qy = query.y;
    s.rx = reference.x;
    s.ry = reference.y;
    st.queryAngle = s.queryIsScan2 ? start2 : start1;
    st.referenceAngle = s.queryIsScan2 ? start1 : start2;
    st.rms = pair.initialRms;

    updateOverlap(pair);
    CubeGrid grid;
    if (!buildCubeGrid(pair.overlap, solve.settings.ZMIN, solve.settings, grid))
        return false;
    // The reference points are reordered inside their cubes; nothing after the solve
    // reads the prepared order.
    buildReferenceIndex(referencePoints, grid, w.reference, pair.work1, solve.settings.threads);
    sampleQueryPoints(solve.settings, *s.query, grid.cubeCount, w.querySample);
    w.queryPlanes.assign(w.querySample.size(), QueryPlane{});
    return true;
}

// One pass: pairs within [minThr, maxThr], one Gauss-Newton step of both headings.
void takePass(PairSolve& solve, const SolvePair& s, SolveState& st, double minThr, double maxThr, PlaneSolveResult& out)
{
    const RegSettings& settings = solve.settings;
    PointToPlaneWorkspace& w = solve.workspace.pointToPlane;
    ++solve.progress.walkCount;
    st.system = pairPlanes(w, s, settings.threads, st.queryAngle, st.referenceAngle, minThr, maxThr, st.scale);
    st.pairCount = st.system.pairs;
    st.minThr = minThr;
    st.maxThr = maxThr;
    const bool enough = st.system.pairs > 0 && st.system.pairs >= settings.MINNUMPTS;
    st.step = enough ? headingStep(st.system) : HeadingStep{};
    st.rms = enough ? residualRms(st.system) : NO_VALID_RMS;
    st.scale = enough ? KERNEL_WIDTH * st.rms : 0.0;
    st.queryAngle += st.step.query;
    st.referenceAngle += st.step.reference;
    ++out.passes;
    solve.progress.percentComplete = progressBase(solve.progress);
    std::printf("%0.1f Complete, RMSmin = %lf, %i pts, Dist %f to %f \r", solve.progress.percentComplete, st.rms,
                st.pairCount, minThr, maxThr);
    const HeadingStep& step = st.step;
    st.lastStepSmall = !step.found
        || (isSmall(step.query, step.queryError, settings.ALPHATHRESH)
            && isSmall(step.reference, step.referenceError, settings.ALPHATHRESH));
}

// The passes of every distance window. A window that leaves too few pairs after one that
// had enough ends the solve with the result of the last window that had them.
void runRepeats(PairSolve& solve, const SolvePair& s, SolveState& st, PlaneSolveResult& out)
{
    const RegSettings& settings = solve.settings;
    double previousQuery = st.queryAngle, previousReference = st.referenceAngle;
    SolveState kept;
    bool anyKept = false;
    for (int32_t r = 0; r < settings.MAXREPEAT; ++r) {
        const int32_t j = scheduleStep(r, settings.MAXREPEAT);
        const double maxThr = scheduledLimit(settings.MAXDISTINITIAL, settings.MAXDISTFINAL, j, settings.MAXREPEAT);
        const double minThr = scheduledLimit(settings.MINDISTINITIAL, settings.MINDISTFINAL, j, settings.MAXREPEAT);
        st.step = HeadingStep{};
        for (int32_t i = 0; i < settings.MAXITER; ++i) {
            takePass(solve, s, st, minThr, maxThr, out);
            if (st.lastStepSmall)
                break;
        }
        if (settings.MAXITER > 0 && st.rms == NO_VALID_RMS && anyKept) {
            std::printf("Distance window %f to %f: %i point pairs, fewer than MINNUMPTS (%i); the result of the "
                        "window %f to %f is kept\n",
                        minThr, maxThr, st.pairCount, settings.MINNUMPTS, kept.minThr, kept.maxThr);
            st = kept;
            out.keptEarlierWindow = true;
            break;
        }
        if (st.rms != NO_VALID_RMS) {
            kept = st;
            anyKept = true;
        }
        // The RMS stop ends the repeats only once both headings have settled.
        const HeadingStep& step = st.step;
        const bool settled = step.found && isSmall(st.queryAngle - previousQuery, step.queryError, settings.ALPHATHRESH)
            && isSmall(st.referenceAngle - previousReference, step.referenceError, settings.ALPHATHRESH);
        const bool finalLimits = maxThr == settings.MAXDISTFINAL && minThr == settings.MINDISTFINAL;
        previousQuery = st.queryAngle;
        previousReference = st.referenceAngle;
        if (r > 0 && settled && (finalLimits || st.rms < settings.RMSTHRESH))
            break;
    }
}

// The scatter of the reference scan about its own local planes, where the query points
// of the last pass found planes: the RMS a perfect registration could come down to.
// Per plane the residual sum of squares over its degrees of freedom; the median of them.
double noiseFloor(const PointToPlaneWorkspace& w, double maxThr)
{
    std::vector<double> variances;
    const std::size_t planes = w.queryPlanes.size();
    const std::size_t every = std::max<std::size_t>(1, planes / NOISE_PLANES);
    Neighbour nearest[MAX_NEIGHBOURS];
    double fit[MAX_NEIGHBOURS][3];
    for (std::size_t k = 0; k < planes; k += every) {
        const QueryPlane& q = w.queryPlanes[k];
        if (q.state != 1 || !(q.nearestD2 <= maxThr * maxThr))
            continue;
        const int32_t found = nearestReferencePoints(w.reference, q.x, q.y, q.z, NOISE_POINTS, nearest);
        if (found < NOISE_LEAST)
            continue;
        for (int32_t i = 0; i < found; ++i) {
            const CubePoint& p = (*w.reference.points)[static_cast<std::size_t>(nearest[i].index)];
            fit[i][0] = p.x;
            fit[i][1] = p.y;
            fit[i][2] = p.z;
        }
        LocalPlane plane;
        if (!fitLocalPlane(fit, found, plane))
            continue;
        double sum = 0.0;
        for (int32_t i = 0; i < found; ++i) {
            const double d = plane.nx * (fit[i][0] - plane.cx) + plane.ny * (fit[i][1] - plane.cy)
                + plane.nz * (fit[i][2] - plane.cz);
            sum += d * d;
        }
        variances.push_back(sum / (found - 3));
    }
    if (variances.empty())
        return 0.0;
    const std::size_t middle = variances.size() / 2;
    std::nth_element(variances.begin(), variances.begin() + static_cast<std::ptrdiff_t>(middle), variances.end());
    return std::sqrt(variances[middle]);
}

// The covariance of both headings (scan 1, scan 2; square radians) from the last pass's
// normal equations, scaled by its RMS.
void headingCovariance(const SolveState& st, bool queryIsScan2, PlaneSolveResult& out)
{
    const HeadingSystem& h = st.system;
    const double det = h.qq * h.rr - h.qr * h.qr;
    if (!(h.qq > 0.0 && h.rr > 0.0 && det > 1e-12 * h.qq * h.rr) || st.rms == NO_VALID_RMS) {
        out.covariance[0] = out.covariance[1] = out.covariance[2] = HUGE_VAL;
        return;
    }
    const double s2 = st.rms * st.rms;
    const double qq = s2 * h.rr / det, rr = s2 * h.qq / det, qr = -s2 * h.qr / det;
    out.covariance[0] = queryIsScan2 ? rr : qq;
    out.covariance[1] = qr;
    out.covariance[2] = queryIsScan2 ? qq : rr;
}

}  // namespace

bool solveAgainstPlanes(PairSolve& solve, double start1, double start2, PlaneSolveResult& out)
{
    SolvePair s;
    SolveState st;
    st.pairCount = out.pairCount;
    if (!setUpSolve(solve, s, st, start1, start2))
        return false;
    runRepeats(solve, s, st, out);
    out.angle1 = s.queryIsScan2 ? st.referenceAngle : st.queryAngle;
    out.angle2 = s.queryIsScan2 ? st.queryAngle : st.referenceAngle;
    out.rms = st.rms;
    out.pairCount = st.pairCount;
    out.unsettled = !st.lastStepSmall;
    out.sampled = static_cast<int32_t>(solve.workspace.pointToPlane.querySample.size());
    out.noiseFloor = st.rms == NO_VALID_RMS ? 0.0 : noiseFloor(solve.workspace.pointToPlane, st.maxThr);
    headingCovariance(st, s.queryIsScan2, out);
    return true;
}
