#include "tools/ray_caster.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double FAR = 1e30;
constexpr double RELAXATION = 1.6;         // over-relaxed steps, checked afterwards
constexpr double BEACH_SKIP_MARGIN = 0.5;  // evaluate the beach only this close to its bound
constexpr double DETAIL_MARGIN = 0.05;     // evaluate the face's detail only this close to it
constexpr int32_t REFINE_HALVINGS = 4;
constexpr int32_t MAX_MARCH_STEPS = 100000;

// Bounds of how fast the surface functions can change per metre along this ray.
struct RaySlopes {
    double coarseLow = 0.0;   ///< coarse distance behind the face, below the scene's lowBandTop
    double coarseHigh = 0.0;  ///< the same above lowBandTop
    double detail = 0.0;      ///< what the detail grids add to either
    double top = 0.0;         ///< height below the cliff top
    double beach = 0.0;       ///< height above the beach
    double beachUpper = 0.0;  ///< height above the beach's upper bound plane
};

struct Probe {
    double face = -FAR;   ///< min(beyond, below) of the face (>= 0 inside); -FAR when only bounded
    double beach = FAR;   ///< height above the beach (<= 0 inside); FAR when only bounded
    double radius = 0.0;  ///< no rock lies closer than this along the ray, metres
    bool inside = false;
};

RaySlopes raySlopes(const CliffScene& scene, const ShoreRay& ray)
{
    const double as = std::fabs(ray.ds);
    const double ac = std::fabs(ray.dc);
    const double az = std::fabs(ray.dz);
    RaySlopes k;
    k.coarseLow = ac + scene.lowBand.perS * as + scene.lowBand.perZ * az;
    k.coarseHigh = ac + scene.highBand.perS * as + scene.highBand.perZ * az;
    k.detail = scene.detailSlopes.perS * as + scene.detailSlopes.perZ * az;
    k.top = scene.topSlope * as + az;
    k.beach = az + scene.beachSlopeS * as + scene.beachSlopeC * ac;
    k.beachUpper = az + scene.beachRise * ac;
    return k;
}

// Lower bound of the distance to the face rock from a point outside it, given a
// measure whose `beyond` is within `slack` of the truth and changes by at most
// lowSlope (highSlope above lowBandTop) per metre along the ray. The rock needs both
// beyond >= 0 and below >= 0, so the farther of the two bounds holds.
double faceRadius(const CliffScene& scene, const ShoreRay& ray, const RaySlopes& k, const FaceMeasure& m, double z,
                  double slack, double lowSlope, double highSlope)
{
    double behind = 0.0;
    const double gap = -m.beyond - slack;
    if (gap > 0.0) {
        behind = gap / lowSlope;
        if (z >= scene.lowBandTop) {
            // The gentler high-band bound holds only until the ray drops into the low band.
            const double toBand = ray.dz < 0.0 ? (z - scene.lowBandTop) / -ray.dz : FAR;
            behind = std::max(behind, std::min(gap / highSlope, toBand));
        }
    }
    const double under = m.below < 0.0 ? -m.below / k.top : 0.0;
    return std::max(behind, under);
}

// Probes the face: far from it the coarse measure and its gentler slopes do; near it
// the full surface decides. Returns the radius and sets p.face and p.inside.
double probeFace(const CliffScene& scene, const ShoreRay& ray, const RaySlopes& k, double s, double c, double z,
                 bool full, Probe& p)
{
    if (!full) {
        if (c < scene.faceCMin) {
            return ray.dc > 0.0 ? (scene.faceCMin - c) / ray.dc : FAR;
        }
        const FaceMeasure m = coarseFaceMeasure(scene, s, c, z);
        if (m.beyond < -scene.detailAbs - DETAIL_MARGIN || m.below < 0.0) {
            return faceRadius(scene, ray, k, m, z, scene.detailAbs, k.coarseLow, k.coarseHigh);
        }
    }
    const FaceMeasure m = faceMeasure(scene, s, c, z);
    p.face = std::min(m.beyond, m.below);
    p.inside = p.face >= 0.0;
    return p.inside ? 0.0 : faceRadius(scene, ray, k, m, z, 0.0, k.coarseLow + k.detail, k.coarseHigh + k.detail);
}

// full: evaluate both surface functions even where a cheap bound would do.
Probe probe(const CliffScene& scene, const ShoreRay& ray, const RaySlopes& k, double t, bool full)
{
    const double s = ray.s + t * ray.ds;
    const double c = ray.c + t * ray.dc;
    const double z = ray.z + t * ray.dz;
    Probe p;
    const double faceR = probeFace(scene, ray, k, s, c, z, full, p);
    const double aboveUpper = z - (scene.beachAbove + scene.beachRise * std::max(c, 0.0));
    double beachR = aboveUpper > 0.0 ? aboveUpper / k.beachUpper : 0.0;
    if (full || aboveUpper < BEACH_SKIP_MARGIN) {
        p.beach = z - beachHeight(scene, s, c);
        if (p.beach <= 0.0) {
            p.inside = true;
            beachR = 0.0;
        } else {
            beachR = std::max(beachR, p.beach / k.beach);
        }
    }
    p.radius = p.inside ? 0.0 : std::min(faceR, beachR);
    return p;
}

// The surface is crossed between a (outside) and b (inside): halve the bracket a few
// times, then interpolate linearly on the function that changed sign.
double refineHit(const CliffScene& scene, const ShoreRay& ray, const RaySlopes& k, double a, double b)
{
    Probe pa = probe(scene, ray, k, a, true);
    Probe pb = probe(scene, ray, k, b, true);
    for (int32_t i = 0; i < REFINE_HALVINGS; ++i) {
        const double m = 0.5 * (a + b);
        const Probe pm = probe(scene, ray, k, m, true);
        if (pm.inside) {
            b = m;
            pb = pm;
        } else {
            a = m;
            pa = pm;
        }
    }
    if (pb.face >= 0.0 && pa.face < 0.0) {
        return a + (b - a) * (-pa.face) / (pb.face - pa.face);
    }
    if (pb.beach <= 0.0 && pa.beach > 0.0) {
        return a + (b - a) * pa.beach / (pa.beach - pb.beach);
    }
    return b;
}

// True when nothing further along the ray can be rock: above every cliff top and
// rising at least as fast as the beach's upper bound.
bool inOpenSky(const CliffScene& scene, const ShoreRay& ray, double t)
{
    const double c = ray.c + t * ray.dc;
    const double z = ray.z + t * ray.dz;
    const double beachTop = scene.beachAbove + scene.beachRise * std::max(c, 0.0);
    return z > scene.topMax && z > beachTop && ray.dz >= scene.beachRise * std::fabs(ray.dc);
}

}  // namespace

double castRay(const CliffScene& scene, const ShoreRay& ray, double maxRange)
{
    const RaySlopes k = raySlopes(scene, ray);
    double t = 0.0;
    Probe p = probe(scene, ray, k, t, false);
    if (p.inside) {
        return -1.0;
    }
    double relax = RELAXATION;
    for (int32_t iter = 0; iter < MAX_MARCH_STEPS && t < maxRange; ++iter) {
        const double plain = std::max(p.radius, MARCH_MIN_STEP);
        const double wanted = std::max(relax * p.radius, MARCH_MIN_STEP);
        const double tn = std::min(t + wanted, maxRange);
        const double step = tn - t;
        const Probe q = probe(scene, ray, k, tn, false);
        // A relaxed step is safe only when the two free intervals overlap.
        const bool covered = step <= p.radius || (!q.inside && p.radius + q.radius >= step);
        if (!covered && wanted > plain) {
            relax = 1.0;
            continue;
        }
        if (q.inside) {
            return refineHit(scene, ray, k, t, tn);
        }
        t = tn;
        p = q;
        if (inOpenSky(scene, ray, t)) {
            return -1.0;
        }
    }
    return -1.0;
}
