#include "tools/cliff_scene.h"

#include <algorithm>
#include <cmath>

namespace {

double detailSum(const std::vector<NoiseGrid>& grids, double u, double v)
{
    double sum = 0.0;
    for (const NoiseGrid& g : grids) {
        sum += sampleGrid(g, u, v);
    }
    return sum;
}

double faceZ(const CliffScene& scene, double z) { return std::clamp(z, scene.faceZLow, scene.faceZHigh); }

}  // namespace

double sampleGrid(const NoiseGrid& grid, double u, double v)
{
    const double fu = u * grid.invCellU;
    const double fv = v * grid.invCellV;
    const double iu = std::floor(fu);
    const double iv = std::floor(fv);
    const double du = fu - iu;
    const double dv = fv - iv;
    // Modular wrap of the (possibly negative) node index: the grid repeats.
    const uint32_t maskU = static_cast<uint32_t>(grid.sizeU - 1);
    const uint32_t maskV = static_cast<uint32_t>(grid.sizeV - 1);
    const uint32_t i0 = static_cast<uint32_t>(static_cast<int64_t>(iu) & maskU);
    const uint32_t j0 = static_cast<uint32_t>(static_cast<int64_t>(iv) & maskV);
    const uint32_t i1 = (i0 + 1) & maskU;
    const uint32_t j1 = (j0 + 1) & maskV;
    const uint32_t row0 = j0 * static_cast<uint32_t>(grid.sizeU);
    const uint32_t row1 = j1 * static_cast<uint32_t>(grid.sizeU);
    const double a = grid.values[row0 + i0];
    const double b = grid.values[row0 + i1];
    const double c = grid.values[row1 + i0];
    const double d = grid.values[row1 + i1];
    const double lower = a + (b - a) * du;
    const double upper = c + (d - c) * du;
    return lower + (upper - lower) * dv;
}

double sampleBaked(const BakedGrid& grid, double u, double v)
{
    const double lastU = static_cast<double>(grid.sizeU - 1);
    const double lastV = static_cast<double>(grid.sizeV - 1);
    const double fu = std::clamp((u - grid.u0) * grid.invStep, 0.0, lastU);
    const double fv = std::clamp((v - grid.v0) * grid.invStep, 0.0, lastV);
    // The last cell is used for the far edge itself, so i + 1 always exists.
    const int32_t i = std::min(static_cast<int32_t>(fu), grid.sizeU - 2);
    const int32_t j = std::min(static_cast<int32_t>(fv), grid.sizeV - 2);
    const double du = fu - static_cast<double>(i);
    const double dv = fv - static_cast<double>(j);
    const size_t row0 = static_cast<size_t>(j) * static_cast<size_t>(grid.sizeU) + static_cast<size_t>(i);
    const size_t row1 = row0 + static_cast<size_t>(grid.sizeU);
    const double a = grid.values[row0];
    const double b = grid.values[row0 + 1];
    const double c = grid.values[row1];
    const double d = grid.values[row1 + 1];
    const double lower = a + (b - a) * du;
    const double upper = c + (d - c) * du;
    return lower + (upper - lower) * dv;
}

double topHeight(const CliffScene& scene, double s)
{
    const double last = static_cast<double>(scene.top.size() - 1);
    const double pos = std::clamp((s - scene.topStart) * scene.topInvStep, 0.0, last);
    const size_t i = std::min(static_cast<size_t>(pos), scene.top.size() - 2);
    const double f = pos - static_cast<double>(i);
    return scene.top[i] + (scene.top[i + 1] - scene.top[i]) * f;
}

double faceOffset(const CliffScene& scene, double s, double z)
{
    const double zc = faceZ(scene, z);
    return sampleBaked(scene.face, s, zc) + detailSum(scene.faceDetail, s, zc);
}

double beachHeight(const CliffScene& scene, double s, double c)
{
    return sampleBaked(scene.beach, s, c) + detailSum(scene.beachDetail, s, c);
}

FaceMeasure faceMeasure(const CliffScene& scene, double s, double c, double z)
{
    FaceMeasure m;
    m.beyond = c - faceOffset(scene, s, z);
    m.below = topHeight(scene, s) - z;
    return m;
}

FaceMeasure coarseFaceMeasure(const CliffScene& scene, double s, double c, double z)
{
    FaceMeasure m;
    m.beyond = c - sampleBaked(scene.face, s, faceZ(scene, z));
    m.below = topHeight(scene, s) - z;
    return m;
}

bool isRock(const CliffScene& scene, double s, double c, double z)
{
    const FaceMeasure m = faceMeasure(scene, s, c, z);
    return (m.beyond >= 0.0 && m.below >= 0.0) || z <= beachHeight(scene, s, c);
}
