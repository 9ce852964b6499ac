#include "import/cloud_stats.h"

#include <algorithm>

void addToStats(CloudStats& stats, const ImportedPoint* points, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        const ImportedPoint& p = points[i];
        const double v[3] = {p.x, p.y, p.z};
        const double dx = p.x - stats.scanner.x;
        const double dy = p.y - stats.scanner.y;
        const double dz = p.z - stats.scanner.z;
        const double d2 = dx * dx + dy * dy + dz * dz;
        if (stats.points == 0) {
            for (int32_t k = 0; k < 3; ++k) {
                stats.min[k] = stats.max[k] = v[k];
            }
            stats.nearestSquared = stats.farthestSquared = d2;
        }
        for (int32_t k = 0; k < 3; ++k) {
            stats.min[k] = std::min(stats.min[k], v[k]);
            stats.max[k] = std::max(stats.max[k], v[k]);
        }
        stats.nearestSquared = std::min(stats.nearestSquared, d2);
        stats.farthestSquared = std::max(stats.farthestSquared, d2);
        ++stats.points;
    }
}
