#include "batch/constants.h"
#include "batch/engine/heading_search.h"
#include "batch/engine/pair_context.h"
#include "batch/engine/pair_verdict.h"
#include "batch/engine/plane_solve.h"
#include "batch/engine/search_cubes.h"
#include "batch/engine/solution_methods.h"
#include "batch/engine/solver_support.h"
#include "batch/engine/solver_workspace.h"
#include "batch/engine/transform.h"
#include "batch/inputs/configuration.h"
#include "batch/inputs/survey_database.h"

#include <cmath>
#include <cstdio>
#include <vector>

// Point-to-plane Gauss-Newton (REGSOL 3), judged by what the pair shows of itself. The
// solve starts from the headings the pair has; when its result is not trusted, the
// headings are searched over the range HEADINGSEARCH allows and the best poses solved
// again, and the best of all is judged once more. Two poses far apart that fit nearly
// alike leave the pair untrusted.

namespace {

// The second-best pose of the search is solved too when it scores at least this share
// of the best.
constexpr double SECOND_POSE = 0.8;

// Two results fit "nearly alike" when the RMS of one is within this factor of the other,
// and stand for different headings when either heading differs by more than DISTINCT.
constexpr double NEARLY_ALIKE = 1.1;
constexpr double DISTINCT = 1.0 * DEG_TO_RAD;

// One solved pose: its headings (radians) and its figures.
struct Attempt {
    PlaneSolveResult solved;
    PairFigures figures;
};

PairFigures figuresOf(const PlaneSolveResult& r, bool searched)
{
    PairFigures f;
    const double v11 = r.covariance[0], v12 = r.covariance[1], v22 = r.covariance[2];
    f.relative = RAD_TO_DEG * (wrappedRadians(r.angle2) - wrappedRadians(r.angle1));
    f.common = RAD_TO_DEG * 0.5 * (wrappedRadians(r.angle1) + wrappedRadians(r.angle2));
    const double varRelative = v11 + v22 - 2.0 * v12, varCommon = 0.25 * (v11 + v22 + 2.0 * v12);
    f.relativeSigma = RAD_TO_DEG * std::sqrt(varRelative);
    f.commonSigma = RAD_TO_DEG * std::sqrt(varCommon);
    const double product = varRelative * varCommon;
    f.correlation = product > 0.0 && std::isfinite(product) ? 0.5 * (v22 - v11) / std::sqrt(product) : 0.0;
    f.rms = r.rms;
    f.noiseFloor = r.noiseFloor;
    f.pairs = r.pairCount;
    f.sampled = r.sampled;
    f.searched = searched;
    judgePair(f);
    return f;
}

// Turns both scans' points from where they stand by the given angles about their
// scanners and stamps and sorts them in the pair's new overlap. False when the grid is
// too large (printed).
bool turnPair(PairSolve& solve, double turn1, double turn2)
{
    PairContext& pair = solve.pair;
    const int32_t threads = solve.settings.threads;
    rotateAboutVertical(pair.scan1.points, turn1, solve.scan1.x, solve.scan1.y, threads);
    rotateAboutVertical(pair.scan2.points, turn2, solve.scan2.x, solve.scan2.y, threads);
    pair.scan1.extent = computeExtent(pair.scan1.points, threads);
    pair.scan2.extent = computeExtent(pair.scan2.points, threads);
    updateOverlap(pair);
    CubeGrid grid;
    if (!buildCubeGrid(pair.overlap, solve.settings.ZMIN, solve.settings, grid))
        return false;
    pair.cubeCount = grid.cubeCount;
    stampAndSortByCube(pair.scan1.points, grid, pair.sortBuffers, threads);
    stampAndSortByCube(pair.scan2.points, grid, pair.sortBuffers, threads);
    return true;
}

// The headings over the allowed range, on the points at their database headings; the
// denser scan stays fixed.
std::vector<HeadingCandidate> searchPair(PairSolve& solve, bool scan1Fixed)
{
    PairContext& pair = solve.pair;
    SearchScan one{&pair.scan1.points, solve.scan1.x, solve.scan1.y};
    SearchScan two{&pair.scan2.points, solve.scan2.x, solve.scan2.y};
    HeadingSearchSettings range;
    range.halfWidth = solve.settings.HEADINGSEARCH * DEG_TO_RAD;
    range.zmin = solve.settings.ZMIN;
    range.zmax = solve.settings.ZMAX;
    range.threads = solve.settings.threads;
    return searchHeadings(scan1Fixed ? one : two, scan1Fixed ? two : one, range, solve.workspace.headingSearch);
}

bool better(const Attempt& a, const Attempt& b)
{
    if (a.solved.rms == NO_VALID_RMS || b.solved.rms == NO_VALID_RMS)
        return b.solved.rms == NO_VALID_RMS && a.solved.rms != NO_VALID_RMS;
    if (a.figures.trusted != b.figures.trusted)
        return a.figures.trusted;
    return a.solved.rms < b.solved.rms;
}

// Solves the pair again from the best poses of the search; the attempts are added to
// `attempts`. False on a fatal condition (printed).
bool solveFromSearch(PairSolve& solve, std::vector<Attempt>& attempts)
{
    const bool scan1Fixed = solve.pair.scan1.points.size() >= solve.pair.scan2.points.size();
    const std::vector<HeadingCandidate> poses = searchPair(solve, scan1Fixed);
    if (poses.empty())
        return true;
    const HeadingCandidate& best = poses.front();
    std::printf("Heading search: scan %i %+.4f deg, scan %i %+.4f deg, %.0f %% of the sample in place\n",
                solve.scan1.scanId, RAD_TO_DEG * wrappedRadians(scan1Fixed ? best.turnFixed : best.turnMoving),
                solve.scan2.scanId, RAD_TO_DEG * wrappedRadians(scan1Fixed ? best.turnMoving : best.turnFixed),
                100.0 * best.share);
    double turned1 = 0.0, turned2 = 0.0;  // radians the points stand turned by
    for (std::size_t k = 0; k < poses.size() && (k == 0 || poses[k].share >= SECOND_POSE * best.share); ++k) {
        const double turn1 = scan1Fixed ? poses[k].turnFixed : poses[k].turnMoving;
        const double turn2 = scan1Fixed ? poses[k].turnMoving : poses[k].turnFixed;
        if (!turnPair(solve, turn1 - turned1, turn2 - turned2))
            return false;
        turned1 = turn1;
        turned2 = turn2;
        Attempt a;
        a.solved.pairCount = attempts.back().solved.pairCount;
        a.solved.passes = attempts.back().solved.passes;
        if (!solveAgainstPlanes(solve, 0.0, 0.0, a.solved))
            return false;
        a.solved.angle1 += turn1;
        a.solved.angle2 += turn2;
        a.figures = figuresOf(a.solved, true);
        attempts.push_back(a);
    }
    return true;
}

// The best attempt; untrusted when another one, at other headings, fits nearly alike.
Attempt chooseAttempt(const std::vector<Attempt>& attempts)
{
    Attempt chosen = attempts.front();
    for (const Attempt& a : attempts)
        if (better(a, chosen))
            chosen = a;
    chosen.figures.searched = attempts.size() > 1;
    if (chosen.solved.rms == NO_VALID_RMS || !chosen.figures.trusted)
        return chosen;
    for (const Attempt& a : attempts) {
        const double d1 = std::fabs(wrappedRadians(a.solved.angle1 - chosen.solved.angle1));
        const double d2 = std::fabs(wrappedRadians(a.solved.angle2 - chosen.solved.angle2));
        if (a.solved.rms == NO_VALID_RMS || (d1 <= DISTINCT && d2 <= DISTINCT))
            continue;
        if (a.solved.rms <= NEARLY_ALIKE * chosen.solved.rms) {
            char reason[160];
            std::snprintf(reason, sizeof reason, "headings %.3f and %.3f deg fit nearly as well",
                          RAD_TO_DEG * wrappedRadians(a.solved.angle1), RAD_TO_DEG * wrappedRadians(a.solved.angle2));
            chosen.figures.trusted = false;
            chosen.figures.reason = reason;
        }
    }
    return chosen;
}

}  // namespace

void solvePointToPlane(PairSolve& solve, MethodResult& found)
{
    std::vector<Attempt> attempts(1);
    Attempt& first = attempts.front();
    first.solved.pairCount = found.pairCount;
    if (!solveAgainstPlanes(solve, startingRotation(solve.scan1), startingRotation(solve.scan2), first.solved)) {
        found.fatal = true;
        return;
    }
    first.figures = figuresOf(first.solved, false);
    const bool failed = first.solved.rms == NO_VALID_RMS;
    if ((failed || !first.figures.trusted) && solve.settings.HEADINGSEARCH > 0.0) {
        std::printf("Scans %i and %i from the database headings: %s; searching +/- %g deg\n", solve.scan1.scanId,
                    solve.scan2.scanId, failed ? "too few point pairs" : first.figures.reason.c_str(),
                    solve.settings.HEADINGSEARCH);
        if (!solveFromSearch(solve, attempts)) {
            found.fatal = true;
            return;
        }
    }
    const Attempt chosen = chooseAttempt(attempts);
    found.angle1 = chosen.solved.angle1;
    found.angle2 = chosen.solved.angle2;
    found.rms = chosen.solved.rms;
    found.pairCount = chosen.solved.pairCount;
    found.passes = attempts.back().solved.passes;
    found.unsettled = chosen.solved.unsettled;
    found.hasFigures = true;
    found.figures = chosen.figures;
}
