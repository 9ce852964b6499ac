#include "tools/scan_setups.h"

#include "tools/deterministic_math.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

int64_t microIn(std::mt19937& gen, int64_t lo, int64_t hi)
{
    return lo + static_cast<int64_t>(uniformIndex(gen, static_cast<uint32_t>(hi - lo + 1)));
}

void drawHeadingErrors(std::mt19937& gen, int64_t maxMicro, std::vector<ScanSetup>& scans)
{
    size_t largest = 0;
    for (size_t i = 0; i < scans.size(); ++i) {
        scans[i].errorMicro = microIn(gen, -maxMicro, maxMicro);
        if (std::llabs(scans[i].errorMicro) > std::llabs(scans[largest].errorMicro)) {
            largest = i;
        }
    }
    if (2 * std::llabs(scans[largest].errorMicro) <= maxMicro) {
        const int64_t magnitude = microIn(gen, (maxMicro * 6) / 10, maxMicro);
        scans[largest].errorMicro = scans[largest].errorMicro < 0 ? -magnitude : magnitude;
    }
}

void setHeadingErrors(const std::vector<double>& errorsDeg, std::vector<ScanSetup>& scans)
{
    for (size_t i = 0; i < scans.size() && i < errorsDeg.size(); ++i) {
        scans[i].errorMicro = std::llround(errorsDeg[i] * 1e6);
    }
}

int64_t headingMargin(double maxErrorDeg, const std::vector<double>& errorsDeg)
{
    int64_t margin = static_cast<int64_t>(std::llround(maxErrorDeg * 1e6));
    for (double e : errorsDeg) {
        margin = std::max<int64_t>(margin, std::llabs(std::llround(e * 1e6)));
    }
    // Larger errors give database headings beyond 0 to 360 degrees, which the batch
    // program takes as they are.
    return std::min<int64_t>(margin, 10000000);
}

ScanPose truePose(const ScanSetup& s, double transX, double transY)
{
    ScanPose pose;
    pose.x = static_cast<double>(s.eastingE4) / 1e4 - transX;
    pose.y = static_cast<double>(s.northingE4) / 1e4 - transY;
    pose.z = static_cast<double>(s.elevationE4) / 1e4 + SCANNER_ABOVE_GPS;
    const double a1 = static_cast<double>(s.levelXMicro) / 1e6 * BATCH_DEG_TO_RAD;
    const double a2 = static_cast<double>(s.levelYMicro) / 1e6 * BATCH_DEG_TO_RAD;
    pose.heading = static_cast<double>(s.headingMicro) / 1e6 * BATCH_DEG_TO_RAD;
    scanRotation(a1, a2, pose.heading, pose.rot);
    return pose;
}

double neighbourWindow(const std::vector<ScanSetup>& scans)
{
    double farthest = 0.0;
    double nearestSecond = 1e300;
    for (size_t i = 0; i + 1 < scans.size(); ++i) {
        const ScanPose& a = scans[i].pose;
        const ScanPose& b = scans[i + 1].pose;
        farthest = std::max(farthest, std::hypot(b.x - a.x, b.y - a.y));
        if (i + 2 < scans.size()) {
            const ScanPose& c = scans[i + 2].pose;
            nearestSecond = std::min(nearestSecond, std::hypot(c.x - a.x, c.y - a.y));
        }
    }
    return std::floor(0.5 * (farthest + std::min(nearestSecond, 2.0 * farthest)));
}

void scanRotation(double a1, double a2, double a3, double* m)
{
    const double ca = detCos(a1), sa = detSin(a1);
    const double cb = detCos(a2), sb = detSin(a2);
    const double cg = detCos(a3), sg = detSin(a3);
    m[0] = cg * cb;
    m[1] = sb * sa * cg - sg * ca;
    m[2] = sb * ca * cg + sg * sa;
    m[3] = sg * cb;
    m[4] = sb * sa * sg + cg * ca;
    m[5] = sb * ca * sg - sa * cg;
    m[6] = -sb;
    m[7] = sa * cb;
    m[8] = cb * ca;
}
