#include "batch/engine/pairing.h"

#include "batch/inputs/configuration.h"

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

// Walks the cubes in index order and calls `visit(p, slots)` for every selected
// query point p of a cube that holds at least NUMPPC reference points. Both arrays
// are sorted by cube; each is passed once, with a cursor. Empty cubes are skipped
// directly: they can yield nothing. Returns false when a cube holds too many
// query points (the message is printed).
template <class Visit>
bool walkCubes(const RegSettings& settings, const PairingInput& in, std::vector<int32_t>& candidates, Visit&& visit)
{
    const std::vector<CubePoint>& query = in.query;
    const std::vector<CubePoint>& ref = in.reference;
    const int32_t nq = static_cast<int32_t>(query.size());
    const int32_t nr = static_cast<int32_t>(ref.size());
    const int32_t perCube = settings.NUMPPC;
    int32_t qi = 0, ri = 0;
    for (int32_t j = nq > 0 ? query[0].cube : in.cubeCount; j < in.cubeCount;) {
        candidates.clear();
        for (; qi < nq && query[qi].cube <= j; ++qi) {
            const CubePoint& q = query[qi];
            // Only the query points are held to the z window, both ends excluded.
            if (q.cube == j && in.zmin < q.z && q.z < settings.ZMAX) {
                candidates.push_back(qi);
                if (candidates.size() > MAX_CANDIDATES) {
                    std::printf("too many points!! Decrease cube search size!!! \n");
                    return false;
                }
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
    auto visit = [&](const CubePoint& p, const NeighbourSlots& s) {
        if (pointToPoint) {
            if (s.index[0] < 0 || !(s.d2[0] <= maxDist2))
                return;
            errorSum += s.d2[0];
            ++result.pairCount;
            if (sink != nullptr)
                sink->record(std::sqrt(s.d2[0]), toPoint3(p), toPoint3(ref[s.index[0]]));
            return;
        }
        Plane pl;
        if (s.index[2] < 0 || !planeThrough(ref[s.index[0]], ref[s.index[1]], ref[s.index[2]], pl))
            return;
        const double dist = distanceToPlane(pl, p);
        if (!(dist <= maxDist))
            return;
        errorSum += dist * dist;
        ++result.pairCount;
        if (sink != nullptr)
            sink->record(dist, toPoint3(p), projectOntoPlane(pl.a, pl.b, pl.c, pl.d, dist, toPoint3(p)));
    };
    result.tooManyPoints = !walkCubes(settings, in, candidates, visit);
    if (sink != nullptr)
        sink->endWalk();
    finishRms(settings, errorSum, result);
    return result;
}

PairingResult computePairRotation(const RegSettings& settings, const PairingInput& in, double maxDist, double minDist,
                                  double centreX, double centreY, std::vector<int32_t>& candidates)
{
    PairingResult result;
    const double maxDist2 = maxDist * maxDist;
    double errorSum = 0.0;
    // Sums over the pairs of the horizontal coordinates of p (query point) and q
    // (its partner: the nearest reference point, or the foot on the reference plane).
    double spx = 0.0, spy = 0.0, sqx = 0.0, sqy = 0.0, spxqx = 0.0, spyqy = 0.0, spxqy = 0.0, spyqx = 0.0;
    auto addPair = [&](const CubePoint& p, const Point3& q, double error2) {
        errorSum += error2;
        ++result.pairCount;
        spx += p.x, spy += p.y, sqx += q.x, sqy += q.y;
        spxqx += p.x * q.x, spyqy += p.y * q.y, spxqy += p.x * q.y, spyqx += p.y * q.x;
    };
    const std::vector<CubePoint>& ref = in.reference;
    auto visit = [&](const CubePoint& p, const NeighbourSlots& s) {
        if (settings.REGMODE == 0) {
            if (s.index[0] >= 0 && s.d2[0] <= maxDist2)
                addPair(p, toPoint3(ref[s.index[0]]), s.d2[0]);
        } else if (settings.REGMODE == 1) {
            Plane pl;
            if (s.index[2] < 0 || !planeThrough(ref[s.index[0]], ref[s.index[1]], ref[s.index[2]], pl))
                return;
            const double dist = distanceToPlane(pl, p);
            if (minDist <= dist && dist <= maxDist)
                addPair(p, projectOntoPlane(pl.a, pl.b, pl.c, pl.d, dist, toPoint3(p)), dist * dist);
        }
    };
    result.tooManyPoints = !walkCubes(settings, in, candidates, visit);
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
