#include "tools/scan_sampler.h"

#include "tools/deterministic_math.h"
#include "tools/ray_caster.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int32_t PLAN_SIDE = 96;  // coarse pass: PLAN_SIDE x PLAN_SIDE rays
constexpr double MIN_HIT_SHARE = 0.02;

struct FieldOfView {
    double azimuthLow = 0.0;  ///< radians, scanner frame
    double azimuthHigh = 0.0;
    double elevationLow = 0.0;  ///< radians
    double elevationHigh = 0.0;
};

// Azimuth window centred on the cliff direction (+x for a north-south survey, +y for
// east-west), expressed in the scanner's frame; elevations up to just above the
// highest cliff top seen from the nearest possible face.
FieldOfView fieldOfView(const CliffScene& scene, const ShoreFrame& frame, const ScanPose& pose,
                        const ScannerModel& model)
{
    const double cliffAzimuth = frame.eastWest ? 0.5 * PI : 0.0;
    const double centre = cliffAzimuth - pose.heading;
    double s = 0.0;
    double c = 0.0;
    surveyToShore(frame, pose.x, pose.y, s, c);
    const double nearest = std::max(scene.faceCMin - c, 1.0);
    const double rise = scene.topMax - pose.z;
    // Elevation atan(rise / nearest), by bisection on deterministic sin and cos.
    double lo = 0.0;
    double hi = 0.5 * PI;
    for (int32_t i = 0; i < 40; ++i) {
        const double mid = 0.5 * (lo + hi);
        if (detSin(mid) * nearest < detCos(mid) * rise) {
            lo = mid;
        } else {
            hi = mid;
        }
    }
    FieldOfView fov;
    fov.azimuthLow = centre - model.halfWidthDeg * DEG;
    fov.azimuthHigh = centre + model.halfWidthDeg * DEG;
    fov.elevationLow = model.lowestDeg * DEG;
    fov.elevationHigh = std::min(hi + 2.0 * DEG, model.highestCapDeg * DEG);
    return fov;
}

ShoreRay shoreRay(const ShoreFrame& frame, const ScanPose& pose, const double* dirWorld)
{
    ShoreRay ray;
    surveyToShore(frame, pose.x, pose.y, ray.s, ray.c);
    ray.z = pose.z;
    ray.ds = frame.eastWest ? dirWorld[0] : dirWorld[1];
    ray.dc = frame.eastWest ? dirWorld[1] : dirWorld[0];
    ray.dz = dirWorld[2];
    return ray;
}

void toWorld(const ScanPose& pose, const double* d, double* w)
{
    w[0] = pose.rot[0] * d[0] + pose.rot[1] * d[1] + pose.rot[2] * d[2];
    w[1] = pose.rot[3] * d[0] + pose.rot[4] * d[1] + pose.rot[5] * d[2];
    w[2] = pose.rot[6] * d[0] + pose.rot[7] * d[1] + pose.rot[8] * d[2];
}

double hitShare(const CliffScene& scene, const ShoreFrame& frame, const ScanPose& pose, const ScannerModel& model,
                const FieldOfView& fov)
{
    int32_t hits = 0;
    for (int32_t i = 0; i < PLAN_SIDE; ++i) {
        const double az = fov.azimuthLow + (fov.azimuthHigh - fov.azimuthLow) * (i + 0.5) / PLAN_SIDE;
        for (int32_t j = 0; j < PLAN_SIDE; ++j) {
            const double el = fov.elevationLow + (fov.elevationHigh - fov.elevationLow) * (j + 0.5) / PLAN_SIDE;
            const double d[3] = {detCos(el) * detCos(az), detCos(el) * detSin(az), detSin(el)};
            double w[3];
            toWorld(pose, d, w);
            if (castRay(scene, shoreRay(frame, pose, w), model.maxRange) >= 0.0) {
                ++hits;
            }
        }
    }
    return std::max(static_cast<double>(hits) / (PLAN_SIDE * PLAN_SIDE), MIN_HIT_SHARE);
}

}  // namespace

void surveyToShore(const ShoreFrame& frame, double x, double y, double& s, double& c)
{
    s = frame.eastWest ? x : y;
    c = (frame.eastWest ? y : x) - frame.lineOffset;
}

void shoreToSurvey(const ShoreFrame& frame, double s, double c, double& x, double& y)
{
    x = frame.eastWest ? s : frame.lineOffset + c;
    y = frame.eastWest ? frame.lineOffset + c : s;
}

ScanGrid planScanGrid(const CliffScene& scene, const ShoreFrame& frame, const ScanPose& pose, const ScannerModel& model,
                      int32_t targetPoints)
{
    const FieldOfView fov = fieldOfView(scene, frame, pose, model);
    const double share = hitShare(scene, frame, pose, model, fov);
    const double azSpan = fov.azimuthHigh - fov.azimuthLow;
    const double elSpan = fov.elevationHigh - fov.elevationLow;
    const double rays = static_cast<double>(targetPoints) / share;
    return squareCellGrid(fov.azimuthLow, azSpan, fov.elevationLow, elSpan, std::sqrt(azSpan * elSpan / rays));
}

ScanGrid squareCellGrid(double azimuthLow, double azimuthSpan, double elevationLow, double elevationSpan, double step)
{
    ScanGrid grid;
    grid.columns = std::max(2, static_cast<int32_t>(azimuthSpan / step + 0.5));
    grid.rows = std::max(2, static_cast<int32_t>(elevationSpan / step + 0.5));
    grid.azimuthStep = azimuthSpan / grid.columns;
    grid.elevationStep = elevationSpan / grid.rows;
    grid.azimuthStart = azimuthLow + 0.5 * grid.azimuthStep;
    grid.elevationStart = elevationLow + 0.5 * grid.elevationStep;
    return grid;
}

void sampleColumns(const CliffScene& scene, const ShoreFrame& frame, const ScanPose& pose, const ScannerModel& model,
                   const ScanGrid& grid, int32_t firstColumn, int32_t endColumn, std::mt19937& noiseGen,
                   std::vector<ScanPoint>& out)
{
    std::vector<double> cosEl(static_cast<size_t>(grid.rows));
    std::vector<double> sinEl(static_cast<size_t>(grid.rows));
    for (int32_t j = 0; j < grid.rows; ++j) {
        const double el = grid.elevationStart + grid.elevationStep * j;
        cosEl[j] = detCos(el);
        sinEl[j] = detSin(el);
    }
    for (int32_t i = firstColumn; i < endColumn; ++i) {
        const double az = grid.azimuthStart + grid.azimuthStep * i;
        const double cosAz = detCos(az);
        const double sinAz = detSin(az);
        for (int32_t j = 0; j < grid.rows; ++j) {
            const double d[3] = {cosEl[j] * cosAz, cosEl[j] * sinAz, sinEl[j]};
            double w[3];
            toWorld(pose, d, w);
            const double hit = castRay(scene, shoreRay(frame, pose, w), model.maxRange);
            if (hit < 0.0) {
                continue;
            }
            const double range = model.rangeNoise > 0.0 ? hit + model.rangeNoise * gaussian(noiseGen) : hit;
            ScanPoint p;
            p.x = range * d[0];
            p.y = range * d[1];
            p.z = range * d[2];
            p.wx = pose.x + range * w[0];
            p.wy = pose.y + range * w[1];
            p.wz = pose.z + range * w[2];
            out.push_back(p);
        }
    }
}
