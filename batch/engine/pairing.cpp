#include "batch/engine/pairing.h"

#include "batch/inputs/configuration.h"

#include "batch/parallel_for.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// More query points than this in one cube end the run: the cube size is far too large.
constexpr std::size_t MAX_CANDIDATES = 999995;

// An empty slot's squared distance: reference points 31.6 m (the root of 999) or more
// from the query point never enter a slot.
constexpr double EMPTY_SLOT_D2 = 999.0;

// The three nearest reference points of a query point: squared distance and index,
// nearest first; index -1 marks an empty slot.
struct NeighbourSlots {
    double d2[3] = {EMPTY_SLOT_D2, EMPTY_SLOT_D2, EMPTY_SLOT_D2};
    int32_t index[3] = {-1, -1, -1};

    // Among equal distances the point offered later ranks first.
    void offer(double s, int32_t r)
    {
        if (!(s < d2[2]))
            return;
        if (s <= d2[0]) {
            d2[2] = d2[1], index[2] = index[1];
            d2[1] = d2[0], index[1] = index[0];
            d2[0] = s, index[0] = r;
        } else if (s <= d2[1]) {
            d2[2] = d2[1], index[2] = index[1];
            d2[1] = s, index[1] = r;
        } else {
            d2[2] = s, index[2] = r;
        }
    }
};

struct Plane {
    double a = 0.0, b = 0.0, c = 0.0, d = 0.0;
};

// The plane through the three slot points; false when they are collinear or coincide.
bool planeThrough(const CubePoint& p1, const CubePoint& p2, const CubePoint& p3, Plane& plane)
{
    const double ux = p3.x - p1.x, uy = p3.y - p1.y, uz = p3.z - p1.z;
    const double wx = p2.x - p1.x, wy = p2.y - p1.y, wz = p2.z - p1.z;
    plane.a = uz * wy - uy * wz;
    plane.b = ux * wz - uz * wx;
    plane.c = uy * wx - ux * wy;
    plane.d = -(plane.a * p1.x + plane.b * p1.y + plane.c * p1.z);
    return !(plane.a == 0.0 && plane.b == 0.0 && plane.c == 0.0);
}

double distanceToPlane(const Plane& pl, const CubePoint& p)
{
    const double length = std::sqrt(pl.a * pl.a + pl.b * pl.b + pl.c * pl.c);
    if (length == 0.0)
        return 0.0;
    return std::fabs(pl.a * p.x + pl.b * p.y + pl.c * p.z + pl.d) / length;
}

Point3 toPoint3(const CubePoint& p) { return {p.x, p.y, p.z}; }

// Walks the cubes of the query points [begin, end) in index order and calls `visit(p,
// slots)` for every selected query point p of a cube that holds at least NUMPPC
// reference points; `begin` and `end` lie on cube boundaries, and `ri` is a reference
// point at or before the first of the first cube. Both arrays are sorted by cube; each
// is passed once, with a cursor. Empty cubes are skipped directly: they can yield
// nothing. Returns false when a cube holds too many query points.
template <class Visit>
bool walkCubeRange(const RegSettings& settings, const PairingInput& in, int32_t begin, int32_t end, int32_t ri,
                   std::vector<int32_t>& candidates, Visit&& visit)
{
    const std::vector<CubePoint>& query = in.query;
    const std::vector<CubePoint>& ref = in.reference;
    const int32_t nq = end;
    const int32_t nr = static_cast<int32_t>(ref.size());
    const int32_t perCube = settings.NUMPPC;
    int32_t qi = begin;
    for (int32_t j = begin < nq ? query[begin].cube : in.cubeCount; j < in.cubeCount;) {
        candidates.clear();
        for (; qi < nq && query[qi].cube <= j; ++qi) {
            const CubePoint& q = query[qi];
            // Only the query points are held to the z window, both ends excluded.
            if (q.cube == j && in.zmin < q.z && q.z < settings.ZMAX) {
                candidates.push_back(qi);
                if (candidates.size() > MAX_CANDIDATES)
                    return false;
            }
        }
        const int64_t m = static_cast<int64_t>(candidates.size());
        if (perCube > 0 && m >= perCube) {
            int32_t rs = ri;
            while (rs < nr && ref[rs].cube < j)
                ++rs;
            int32_t re = rs;
            while (re < nr && ref[re].cube == j)
                ++re;
            ri = re;
            // Every reference point of the cube counts towards NUMPPC, not only the nearest.
            if (re - rs >= perCube) {
                for (int32_t k = 0; k < perCube; ++k) {
                    const CubePoint& p = query[candidates[static_cast<std::size_t>(k * m / perCube)]];
                    NeighbourSlots slots;
                    for (int32_t r = rs; r < re; ++r) {
                        const double dx = ref[r].x - p.x, dy = ref[r].y - p.y, dz = ref[r].z - p.z;
                        slots.offer(dx * dx + dy * dy + dz * dz, r);
                    }
                    visit(p, slots);
                }
            }
        }
        if (qi >= nq)
            break;
        j = query[qi].cube > j + 1 ? query[qi].cube : j + 1;
    }
    return true;
}

void reportTooManyPoints() { std::printf("too many points!! Decrease cube search size!!! \n"); }

// Query points of one parallel round of a walk: enough to keep the threads busy, few
// enough that the round's pairs stay small beside the scans.
constexpr int32_t WALK_ROUND_POINTS = 1 << 20;

// Query points below which a walk stays on one thread.
constexpr int64_t WALK_PIECE_POINTS = 1 << 14;

// The first index at or after `i` that starts a cube of the query points.
int32_t cubeStartFrom(const std::vector<CubePoint>& query, int32_t i)
{
    const int32_t n = static_cast<int32_t>(query.size());
    while (i > 0 && i < n && query[static_cast<std::size_t>(i)].cube == query[static_cast<std::size_t>(i) - 1].cube)
        ++i;
    return i;
}

// The pairs of one piece of a round and whether its walk went through.
template <class Pair>
struct PiecePairs {
    std::vector<Pair> pairs;
    std::vector<int32_t> candidates;
    bool walked = true;
};

// The walk of walkCubeRange over every query point: `pairOf(p, slots, pair)` turns a
// visit into a pair (false: none), and `add(pair)` takes the pairs in walk order. On
// more than one thread the query points go in rounds, each cut into pieces at cube
// boundaries that are walked at once, their pairs kept per piece; the pairs are then
// added on this thread in walk order, so the sums are the same for any thread count.
// Returns false, with the message printed, when a cube holds too many query points;
// the pairs before that cube are added. `threads` overrides the settings' threads.
template <class Pair, class PairOf, class Add>
bool walkCubes(const RegSettings& settings, int32_t threads, const PairingInput& in, std::vector<int32_t>& candidates,
               PairOf&& pairOf, Add&& add)
{
    const int32_t nq = static_cast<int32_t>(in.query.size());
    if (threads <= 1 || nq < 2 * WALK_PIECE_POINTS) {
        const bool walked =
            walkCubeRange(settings, in, 0, nq, 0, candidates, [&](const CubePoint& p, const NeighbourSlots& s) {
                Pair pair;
                if (pairOf(p, s, pair))
                    add(pair);
            });
        if (!walked)
            reportTooManyPoints();
        return walked;
    }
    std::vector<PiecePairs<Pair>> pieces(static_cast<std::size_t>(threads));
    std::vector<int32_t> cuts(static_cast<std::size_t>(threads) + 1);
    const std::vector<CubePoint>& ref = in.reference;
    for (int32_t lo = 0; lo < nq;) {
        const int32_t hi =
            cubeStartFrom(in.query, static_cast<int32_t>(std::min<int64_t>(nq, int64_t{lo} + WALK_ROUND_POINTS)));
        for (int32_t k = 0; k <= threads; ++k)
            cuts[static_cast<std::size_t>(k)] =
                cubeStartFrom(in.query, static_cast<int32_t>(lo + int64_t{hi - lo} * k / threads));
        parallelFor(threads, threads, 1, [&](int64_t first, int64_t last) {
            for (int64_t k = first; k < last; ++k) {
                PiecePairs<Pair>& piece = pieces[static_cast<std::size_t>(k)];
                piece.pairs.clear();
                const int32_t begin = cuts[static_cast<std::size_t>(k)], end = cuts[static_cast<std::size_t>(k) + 1];
                if (begin >= end) {
                    piece.walked = true;
                    continue;
                }
                const int32_t cube = in.query[static_cast<std::size_t>(begin)].cube;
                const auto from = std::lower_bound(ref.begin(), ref.end(), cube,
                                                   [](const CubePoint& r, int32_t c) { return r.cube < c; });
                piece.walked = walkCubeRange(settings, in, begin, end, static_cast<int32_t>(from - ref.begin()),
                                             piece.candidates, [&](const CubePoint& p, const NeighbourSlots& s) {
                                                 Pair pair;
                                                 if (pairOf(p, s, pair))
                                                     piece.pairs.push_back(pair);
                                             });
            }
        });
        for (const PiecePairs<Pair>& piece : pieces) {
            for (const Pair& pair : piece.pairs)
                add(pair);
            if (!piece.walked) {
                reportTooManyPoints();
                return false;
            }
        }
        lo = hi;
    }
    return true;
}

void finishRms(const RegSettings& settings, double errorSum, PairingResult& result)
{
    // No pair at all never gives a valid RMS, whatever MINNUMPTS says.
    if (result.pairCount > 0 && result.pairCount >= settings.MINNUMPTS)
        result.rms = std::sqrt(errorSum / result.pairCount);
}

}  // namespace

Point3 projectOntoPlane(double a, double b, double c, double d, double dist, const Point3& p)
{
    const double length = std::sqrt(a * a + b * b + c * c);
    const double nx = a / length, ny = b / length, nz = c / length;
    const Point3 plus{p.x + dist * nx, p.y + dist * ny, p.z + dist * nz};
    if (std::fabs(nx * plus.x + ny * plus.y + nz * plus.z + d / length) < 1e-7)
        return plus;
    return {p.x - dist * nx, p.y - dist * ny, p.z - dist * nz};
}

PairingResult computePairRms(const RegSettings& settings, const PairingInput& in, double maxDist,
                             std::vector<int32_t>& candidates, PairSink* sink)
{
    PairingResult result;
    if (sink != nullptr)
        sink->beginWalk();
    const bool pointToPoint = settings.REGMODE == 0;
    const double maxDist2 = maxDist * maxDist;
    double errorSum = 0.0;
    const std::vector<CubePoint>& ref = in.reference;
    // The squared distance of an accepted pair; the diagnostic files take every pair as
    // it is found, so a walk with a sink stays on this thread.
    auto pairOf = [&](const CubePoint& p, const NeighbourSlots& s, double& error2) {
        if (pointToPoint) {
            if (s.index[0] < 0 || !(s.d2[0] <= maxDist2))
                return false;
            error2 = s.d2[0];
            if (sink != nullptr)
                sink->record(std::sqrt(s.d2[0]), toPoint3(p), toPoint3(ref[s.index[0]]));
            return true;
        }
        Plane pl;
        if (s.index[2] < 0 || !planeThrough(ref[s.index[0]], ref[s.index[1]], ref[s.index[2]], pl))
            return false;
        const double dist = distanceToPlane(pl, p);
        if (!(dist <= maxDist))
            return false;
        error2 = dist * dist;
        if (sink != nullptr)
            sink->record(dist, toPoint3(p), projectOntoPlane(pl.a, pl.b, pl.c, pl.d, dist, toPoint3(p)));
        return true;
    };
    auto add = [&](double error2) {
        errorSum += error2;
        ++result.pairCount;
    };
    const int32_t threads = sink != nullptr ? 1 : settings.threads;
    result.tooManyPoints = !walkCubes<double>(settings, threads, in, candidates, pairOf, add);
    if (sink != nullptr)
        sink->endWalk();
    finishRms(settings, errorSum, result);
    return result;
}

namespace {

// An accepted pair of a rotation walk: the horizontal coordinates of the query point p
// and of its partner q, and the squared distance.
struct TurnPair {
    double px = 0.0, py = 0.0, qx = 0.0, qy = 0.0, error2 = 0.0;
};

}  // namespace

PairingResult computePairRotation(const RegSettings& settings, const PairingInput& in, double maxDist, double minDist,
                                  double centreX, double centreY, std::vector<int32_t>& candidates)
{
    PairingResult result;
    const double maxDist2 = maxDist * maxDist;
    double errorSum = 0.0;
    // Sums over the pairs of the horizontal coordinates of p (query point) and q
    // (its partner: the nearest reference point, or the foot on the reference plane).
    double spx = 0.0, spy = 0.0, sqx = 0.0, sqy = 0.0, spxqx = 0.0, spyqy = 0.0, spxqy = 0.0, spyqx = 0.0;
    auto add = [&](const TurnPair& t) {
        errorSum += t.error2;
        ++result.pairCount;
        spx += t.px, spy += t.py, sqx += t.qx, sqy += t.qy;
        spxqx += t.px * t.qx, spyqy += t.py * t.qy, spxqy += t.px * t.qy, spyqx += t.py * t.qx;
    };
    const std::vector<CubePoint>& ref = in.reference;
    auto pairOf = [&](const CubePoint& p, const NeighbourSlots& s, TurnPair& t) {
        if (settings.REGMODE == 0) {
            if (!(s.index[0] >= 0 && s.d2[0] <= maxDist2))
                return false;
            const CubePoint& q = ref[s.index[0]];
            t = TurnPair{p.x, p.y, q.x, q.y, s.d2[0]};
            return true;
        }
        if (settings.REGMODE != 1)
            return false;
        Plane pl;
        if (s.index[2] < 0 || !planeThrough(ref[s.index[0]], ref[s.index[1]], ref[s.index[2]], pl))
            return false;
        const double dist = distanceToPlane(pl, p);
        if (!(minDist <= dist && dist <= maxDist))
            return false;
        const Point3 q = projectOntoPlane(pl.a, pl.b, pl.c, pl.d, dist, toPoint3(p));
        t = TurnPair{p.x, p.y, q.x, q.y, dist * dist};
        return true;
    };
    result.tooManyPoints = !walkCubes<TurnPair>(settings, settings.threads, in, candidates, pairOf, add);
    finishRms(settings, errorSum, result);
    if (result.pairCount > 0 && result.pairCount >= settings.MINNUMPTS) {
        const double n = result.pairCount, cx = centreX, cy = centreY;
        const double dot = spxqx + spyqy - cx * (sqx + spx) - cy * (sqy + spy) + n * (cx * cx + cy * cy);
        const double cross = spxqy - spyqx + cx * (spy - sqy) + cy * (sqx - spx);
        result.angle = -std::atan2(cross, dot);
        result.angleFound = true;
    }
    return result;
}
