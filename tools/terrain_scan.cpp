#include "tools/terrain_scan.h"

#include "tools/deterministic_math.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int32_t PLAN_SIDE = 64;  // coarse pass: PLAN_SIDE x PLAN_SIDE rays
constexpr double MIN_KEPT_SHARE = 0.02;

// Unit direction of (azimuth, elevation) in the scanner frame, and in the survey frame.
struct Direction {
    double scanner[3] = {0.0, 0.0, 0.0};
    double survey[3] = {0.0, 0.0, 0.0};
};

Direction direction(const ScanPose& pose, double cosAz, double sinAz, double cosEl, double sinEl)
{
    Direction d;
    d.scanner[0] = cosEl * cosAz;
    d.scanner[1] = cosEl * sinAz;
    d.scanner[2] = sinEl;
    for (int32_t r = 0; r < 3; ++r) {
        d.survey[r] =
            pose.rot[3 * r] * d.scanner[0] + pose.rot[3 * r + 1] * d.scanner[1] + pose.rot[3 * r + 2] * d.scanner[2];
    }
    return d;
}

// Range to the surface, or negative when the ray meets it nowhere within the range window.
double returnRange(const HeightField& field, const ScanPose& pose, const TerrainScanner& model, const Direction& d)
{
    const double origin[3] = {pose.x, pose.y, pose.z};
    const double hit = castOnField(field, origin, d.survey, model.maxRange);
    return hit >= model.minRange ? hit : -1.0;
}

}  // namespace

double keepShare(const TerrainScanner& model, double range)
{
    if (range <= model.sureRange) {
        return 1.0;
    }
    const double f = std::min(1.0, (range - model.sureRange) / (model.maxRange - model.sureRange));
    return 1.0 - (1.0 - model.farShare) * f;
}

ScanGrid planTerrainScan(const HeightField& field, const ScanPose& pose, double lookAzimuth,
                         const TerrainScanner& model, int32_t targetPoints)
{
    const double centre = lookAzimuth - pose.heading;
    const double azLow = centre - model.halfWidthDeg * DEG;
    const double azSpan = 2.0 * model.halfWidthDeg * DEG;
    const double elLow = model.lowestDeg * DEG;
    const double elSpan = (model.highestDeg - model.lowestDeg) * DEG;
    double kept = 0.0;
    for (int32_t i = 0; i < PLAN_SIDE; ++i) {
        const double az = azLow + azSpan * (i + 0.5) / PLAN_SIDE;
        for (int32_t j = 0; j < PLAN_SIDE; ++j) {
            const double el = elLow + elSpan * (j + 0.5) / PLAN_SIDE;
            const double range =
                returnRange(field, pose, model, direction(pose, detCos(az), detSin(az), detCos(el), detSin(el)));
            kept += range >= 0.0 ? keepShare(model, range) : 0.0;
        }
    }
    const double share = std::max(kept / (PLAN_SIDE * PLAN_SIDE), MIN_KEPT_SHARE);
    return squareCellGrid(azLow, azSpan, elLow, elSpan,
                          std::sqrt(azSpan * elSpan * share / static_cast<double>(targetPoints)));
}

void sampleTerrainScan(const HeightField& field, const ScanPose& pose, const TerrainScanner& model,
                       const ScanGrid& grid, std::mt19937& gen, std::vector<ScanPoint>& out)
{
    std::vector<double> cosEl(static_cast<size_t>(grid.rows));
    std::vector<double> sinEl(static_cast<size_t>(grid.rows));
    for (int32_t j = 0; j < grid.rows; ++j) {
        const double el = grid.elevationStart + grid.elevationStep * j;
        cosEl[j] = detCos(el);
        sinEl[j] = detSin(el);
    }
    for (int32_t i = 0; i < grid.columns; ++i) {
        const double az = grid.azimuthStart + grid.azimuthStep * i;
        const double cosAz = detCos(az);
        const double sinAz = detSin(az);
        for (int32_t j = 0; j < grid.rows; ++j) {
            const Direction d = direction(pose, cosAz, sinAz, cosEl[j], sinEl[j]);
            const double hit = returnRange(field, pose, model, d);
            if (hit < 0.0 || uniform01(gen) >= keepShare(model, hit)) {
                continue;
            }
            const double sigma = model.rangeNoise * (1.0 + hit / model.noiseGrowth);
            const double range = sigma > 0.0 ? hit + sigma * gaussian(gen) : hit;
            ScanPoint p;
            p.x = range * d.scanner[0];
            p.y = range * d.scanner[1];
            p.z = range * d.scanner[2];
            p.wx = pose.x + range * d.survey[0];
            p.wy = pose.y + range * d.survey[1];
            p.wz = pose.z + range * d.survey[2];
            out.push_back(p);
        }
    }
}
