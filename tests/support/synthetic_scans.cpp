#include "tests/support/synthetic_scans.h"

#include "tests/support/test_files.h"

#include <cmath>
#include <cstring>
#include <random>

std::vector<CubePoint> roughWall(double y0, double width, double height, double step, uint32_t seed)
{
    std::mt19937 random(seed);
    auto jitter = [&] { return (static_cast<double>(random()) / 4294967296.0 - 0.5) * 0.5 * step; };
    std::vector<CubePoint> points;
    for (double y = y0; y < y0 + width; y += step)
        for (double z = 0.0; z < height; z += step) {
            const double py = y + jitter(), pz = z + jitter();
            const double px = 10.0 + 0.3 * std::sin(1.3 * py) + 0.2 * std::cos(0.9 * pz)
                + 0.1 * std::sin(2.1 * py + 1.7 * pz) + 0.15 * std::sin(3.1 * py) * std::cos(2.3 * pz);
            points.push_back({px, py, pz, 0, 0});
        }
    return points;
}

void writeBinaryScan(const std::string& path, const std::vector<CubePoint>& points)
{
    std::string bytes(points.size() * 32, '\0');
    for (std::size_t i = 0; i < points.size(); ++i) {
        std::memcpy(&bytes[i * 32], &points[i].x, 8);
        std::memcpy(&bytes[i * 32 + 8], &points[i].y, 8);
        std::memcpy(&bytes[i * 32 + 16], &points[i].z, 8);
    }
    writeFile(path, bytes);
}
