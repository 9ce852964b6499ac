#include "tools/cliff_builder.h"

#include "tools/deterministic_math.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace {

constexpr double SHORE_STEP = 2.0;       // metres between along-shore shape nodes
constexpr double BAKE_STEP = 0.5;        // metres between nodes of the baked tables
constexpr double NOTCH_FULL = 2.0;       // notch at full depth up to this height above the foot
constexpr double NOTCH_ROOF = 1.0;       // height over which the notch roof closes
constexpr double TALUS_HEIGHT = 4.0;     // the talus reaches up to this height above the foot
constexpr double FACE_BELOW_FOOT = 4.0;  // the face table starts this far below the foot
constexpr double FACE_ABOVE_FOOT = 40.0;
constexpr double BEACH_SLOPE = 0.035;  // rise towards the cliff, metres per metre
constexpr double BERM_HALF_WIDTH = 3.0;
constexpr double BEACH_C_FROM = -10.0;  // cross-shore extent of the beach table, metres
constexpr double BEACH_C_TO = 60.0;

// Stream numbers of the scene's random draws (see streamSeed).
constexpr uint32_t STREAM_SHORE = 101;
constexpr uint32_t STREAM_FACE_GRIDS = 102;
constexpr uint32_t STREAM_BEACH = 103;

struct GridShape {
    int32_t sizeU = 0;
    int32_t sizeV = 0;
    double cellU = 1.0;         // metres
    double cellV = 1.0;         // metres
    double amplitude = 0.0;     // values uniform in [-amplitude, amplitude], metres
    bool positiveOnly = false;  // negative values become 0 (isolated mounds)
};

// A shape grid laid obliquely over the face, so that its cells do not line up with
// the along-shore and vertical axes.
struct TiltedGrid {
    NoiseGrid grid;
    double cosA = 1.0;  // of the angle between the grid's u axis and the shore
    double sinA = 0.0;
};

// What varies along the shore only.
struct ShoreNode {
    double base = 0.0;        // face offset at the foot before the other terms, metres (c)
    double leanVar = 0.0;     // change of the face's lean, metres of c per metre of z
    double top = 0.0;         // elevation of the cliff top, metres
    double notchDepth = 0.0;  // depth of the wave-cut notch, metres (c)
    double talusReach = 0.0;  // how far the talus reaches out from the face, metres (c)
    double beachShift = 0.0;  // along-shore change of the beach level, metres (z)
};

// The metre-scale shape before it is baked into the tables.
struct CliffShape {
    double footZ = 0.0;       // elevation of the cliff foot, metres
    double lean = 0.0;        // mean lean of the face, metres of c per metre of z
    double beachZ0 = 0.0;     // beach elevation on the set-up line, metres
    double bermC = 0.0;       // cross-shore position of the berm crest, metres
    double bermHeight = 0.0;  // metres
    double shoreStart = 0.0;  // s of the first shore node, metres
    std::vector<ShoreNode> shore;
    std::vector<TiltedGrid> faceGrids;  // ribs and gullies, strata, blocks
    NoiseGrid warpS;                    // metres added to s before the grids are sampled
    NoiseGrid warpZ;                    // metres added to z likewise
    NoiseGrid cobbles;
};

NoiseGrid makeNoiseGrid(std::mt19937& gen, const GridShape& shape)
{
    NoiseGrid grid;
    grid.sizeU = shape.sizeU;
    grid.sizeV = shape.sizeV;
    grid.invCellU = 1.0 / shape.cellU;
    grid.invCellV = 1.0 / shape.cellV;
    grid.values.resize(static_cast<size_t>(shape.sizeU) * static_cast<size_t>(shape.sizeV));
    for (float& v : grid.values) {
        const double value = uniformIn(gen, -shape.amplitude, shape.amplitude);
        v = static_cast<float>(shape.positiveOnly ? std::max(0.0, value) : value);
    }
    // The bilinear surface's derivative along u is a blend of the node differences
    // along u of the two neighbouring rows, so the largest difference bounds it.
    double maxDu = 0.0;
    double maxDv = 0.0;
    for (int32_t j = 0; j < shape.sizeV; ++j) {
        for (int32_t i = 0; i < shape.sizeU; ++i) {
            const double here = grid.values[static_cast<size_t>(j) * shape.sizeU + i];
            const double right = grid.values[static_cast<size_t>(j) * shape.sizeU + (i + 1) % shape.sizeU];
            const double up = grid.values[static_cast<size_t>((j + 1) % shape.sizeV) * shape.sizeU + i];
            maxDu = std::max(maxDu, std::fabs(right - here));
            maxDv = std::max(maxDv, std::fabs(up - here));
            grid.maxAbs = std::max(grid.maxAbs, std::fabs(here));
        }
    }
    grid.slopeU = maxDu * grid.invCellU;
    grid.slopeV = maxDv * grid.invCellV;
    return grid;
}

// A smooth random curve in [-1, 1] over `count` shore nodes: random control values
// every `wavelength` metres, joined with smoothstep.
std::vector<double> smoothOctave(std::mt19937& gen, int32_t count, double wavelength)
{
    const double span = static_cast<double>(count) * SHORE_STEP;
    const int32_t controls = static_cast<int32_t>(span / wavelength) + 3;
    std::vector<double> control(static_cast<size_t>(controls));
    for (double& v : control) {
        v = uniformIn(gen, -1.0, 1.0);
    }
    std::vector<double> out(static_cast<size_t>(count));
    for (int32_t k = 0; k < count; ++k) {
        const double pos = static_cast<double>(k) * SHORE_STEP / wavelength;
        const int32_t i = static_cast<int32_t>(pos);
        const double f = pos - static_cast<double>(i);
        out[k] = control[i] + (control[i + 1] - control[i]) * (f * f * (3.0 - 2.0 * f));
    }
    return out;
}

void shapeShore(CliffShape& shape, std::mt19937& gen, double sFrom, double sTo)
{
    const int32_t count = static_cast<int32_t>((sTo - sFrom) / SHORE_STEP) + 2;
    shape.shoreStart = sFrom;
    const std::vector<double> base1 = smoothOctave(gen, count, 150.0);
    const std::vector<double> base2 = smoothOctave(gen, count, 45.0);
    const std::vector<double> base3 = smoothOctave(gen, count, 12.0);
    const std::vector<double> lean1 = smoothOctave(gen, count, 60.0);
    const std::vector<double> top1 = smoothOctave(gen, count, 120.0);
    const std::vector<double> top2 = smoothOctave(gen, count, 30.0);
    const std::vector<double> notch = smoothOctave(gen, count, 40.0);
    const std::vector<double> talus = smoothOctave(gen, count, 70.0);
    const std::vector<double> shift = smoothOctave(gen, count, 80.0);
    shape.shore.resize(static_cast<size_t>(count));
    for (int32_t k = 0; k < count; ++k) {
        ShoreNode& n = shape.shore[k];
        n.base = std::clamp(31.0 + 5.0 * base1[k] + 2.0 * base2[k] + 0.8 * base3[k], 24.0, 39.0);
        n.leanVar = 0.08 * lean1[k];
        n.top = shape.footZ + std::clamp(25.0 + 8.0 * top1[k] + 2.5 * top2[k], 16.0, 36.0);
        n.notchDepth = std::clamp(1.8 * notch[k] + 0.4, 0.0, 2.2);
        n.talusReach = std::clamp(6.0 * talus[k] - 1.5, 0.0, 4.5);
        n.beachShift = 0.25 * shift[k];
    }
}

void shapeFaceGrids(CliffShape& shape, std::mt19937& gen)
{
    struct Layer {
        GridShape shape;
        double angleDeg;  // tilt of the grid against the shore
    };
    const Layer layers[] = {
        {{512, 16, 2.0, 9.0, 0.8, false}, 6.0},    // ribs and gullies: narrow, tall, leaning
        {{256, 64, 7.0, 0.9, 0.22, false}, 4.0},   // strata ledges: wide, thin, dipping
        {{1024, 64, 1.1, 1.3, 0.3, false}, 28.0},  // blocks along oblique joints
    };
    // Warping the coordinates makes ribs meander and ledges undulate.
    shape.warpS = makeNoiseGrid(gen, {128, 16, 9.0, 7.0, 1.6, false});
    shape.warpZ = makeNoiseGrid(gen, {128, 16, 11.0, 8.0, 0.8, false});
    for (const Layer& layer : layers) {
        TiltedGrid t;
        t.grid = makeNoiseGrid(gen, layer.shape);
        const double a = layer.angleDeg * (3.14159265358979323846 / 180.0);
        t.cosA = detCos(a);
        t.sinA = detSin(a);
        shape.faceGrids.push_back(t);
    }
}

// Smooth (smoothstep-weighted) interpolation of a periodic grid: used only while
// baking, where its cost does not matter and it rounds off the cells' corners.
double sampleSmooth(const NoiseGrid& grid, double u, double v)
{
    const double fu = u * grid.invCellU;
    const double fv = v * grid.invCellV;
    const double iu = std::floor(fu);
    const double iv = std::floor(fv);
    const double cellU = 1.0 / grid.invCellU;
    const double cellV = 1.0 / grid.invCellV;
    const double su = fu - iu;
    const double sv = fv - iv;
    const double wu = su * su * (3.0 - 2.0 * su);
    const double wv = sv * sv * (3.0 - 2.0 * sv);
    // Sample the bilinear grid at the cell's nodes and blend with smooth weights.
    const double a = sampleGrid(grid, iu * cellU, iv * cellV);
    const double b = sampleGrid(grid, (iu + 1.0) * cellU, iv * cellV);
    const double c = sampleGrid(grid, iu * cellU, (iv + 1.0) * cellV);
    const double d = sampleGrid(grid, (iu + 1.0) * cellU, (iv + 1.0) * cellV);
    const double lower = a + (b - a) * wu;
    const double upper = c + (d - c) * wu;
    return lower + (upper - lower) * wv;
}

ShoreNode shoreAt(const CliffShape& shape, double s)
{
    const double last = static_cast<double>(shape.shore.size() - 1);
    const double pos = std::clamp((s - shape.shoreStart) / SHORE_STEP, 0.0, last);
    const size_t i = std::min(static_cast<size_t>(pos), shape.shore.size() - 2);
    const double f = pos - static_cast<double>(i);
    const ShoreNode& a = shape.shore[i];
    const ShoreNode& b = shape.shore[i + 1];
    ShoreNode n;
    n.base = a.base + (b.base - a.base) * f;
    n.leanVar = a.leanVar + (b.leanVar - a.leanVar) * f;
    n.notchDepth = a.notchDepth + (b.notchDepth - a.notchDepth) * f;
    n.talusReach = a.talusReach + (b.talusReach - a.talusReach) * f;
    n.beachShift = a.beachShift + (b.beachShift - a.beachShift) * f;
    return n;
}

// Face offset before baking: lean, wave-cut notch (full depth up to NOTCH_FULL, roof
// closing over NOTCH_ROOF: an overhang), talus cone at the foot, and the grids.
double shapedFace(const CliffShape& shape, double s, double z)
{
    const ShoreNode n = shoreAt(shape, s);
    const double u = z - shape.footZ;
    const double notch = u <= NOTCH_FULL ? 1.0 : std::max(0.0, 1.0 - (u - NOTCH_FULL) / NOTCH_ROOF);
    const double talus = std::clamp(1.0 - u / TALUS_HEIGHT, 0.0, 1.0);
    double c = n.base + (shape.lean + n.leanVar) * u + n.notchDepth * notch - n.talusReach * talus;
    const double ws = s + sampleSmooth(shape.warpS, s, z);
    const double wz = z + sampleSmooth(shape.warpZ, s, z);
    for (const TiltedGrid& t : shape.faceGrids) {
        c += sampleSmooth(t.grid, t.cosA * ws + t.sinA * wz, t.cosA * wz - t.sinA * ws);
    }
    return c;
}

// Beach before baking: a gentle rise with a berm crest and a runnel behind it, and
// cobble mounds.
double shapedBeach(const CliffShape& shape, double s, double c)
{
    const double d = c - shape.bermC;
    double berm = 0.5 * shape.bermHeight;
    if (d <= -BERM_HALF_WIDTH) {
        berm = 0.0;
    } else if (d <= 0.0) {
        berm = shape.bermHeight * (1.0 + d / BERM_HALF_WIDTH);
    } else if (d <= BERM_HALF_WIDTH) {
        berm = shape.bermHeight * (1.0 - 0.5 * d / BERM_HALF_WIDTH);
    }
    return shape.beachZ0 + shoreAt(shape, s).beachShift + BEACH_SLOPE * c + berm + sampleSmooth(shape.cobbles, s, c);
}

template <typename Shape>
BakedGrid bake(double u0, double u1, double v0, double v1, Shape shapeAt)
{
    BakedGrid grid;
    grid.u0 = u0;
    grid.v0 = v0;
    grid.invStep = 1.0 / BAKE_STEP;
    grid.sizeU = static_cast<int32_t>(std::ceil((u1 - u0) / BAKE_STEP)) + 1;
    grid.sizeV = static_cast<int32_t>(std::ceil((v1 - v0) / BAKE_STEP)) + 1;
    grid.values.resize(static_cast<size_t>(grid.sizeU) * static_cast<size_t>(grid.sizeV));
    for (int32_t j = 0; j < grid.sizeV; ++j) {
        for (int32_t i = 0; i < grid.sizeU; ++i) {
            const double value = shapeAt(u0 + BAKE_STEP * i, v0 + BAKE_STEP * j);
            grid.values[static_cast<size_t>(j) * grid.sizeU + i] = static_cast<float>(value);
        }
    }
    return grid;
}

// Largest node differences of the rows [rowFrom, rowTo]: along u within those rows,
// along v between neighbouring rows of the range; as slopes.
FaceSlopes bakedSlopes(const BakedGrid& g, int32_t rowFrom, int32_t rowTo)
{
    double du = 0.0;
    double dv = 0.0;
    for (int32_t j = rowFrom; j <= rowTo; ++j) {
        const float* row = g.values.data() + static_cast<size_t>(j) * g.sizeU;
        for (int32_t i = 0; i + 1 < g.sizeU; ++i) {
            du = std::max(du, std::fabs(static_cast<double>(row[i + 1]) - row[i]));
            if (j < rowTo) {
                dv = std::max(dv, std::fabs(static_cast<double>(row[i + g.sizeU]) - row[i]));
            }
        }
        if (j < rowTo) {
            const size_t last = static_cast<size_t>(g.sizeU - 1);
            dv = std::max(dv, std::fabs(static_cast<double>(row[last + g.sizeU]) - row[last]));
        }
    }
    return FaceSlopes{du * g.invStep, dv * g.invStep};
}

void addDetail(std::vector<NoiseGrid>& into, std::mt19937& gen, const GridShape& shape, FaceSlopes& slopes,
               double& maxAbs)
{
    into.push_back(makeNoiseGrid(gen, shape));
    slopes.perS += into.back().slopeU;
    slopes.perZ += into.back().slopeV;
    maxAbs += into.back().maxAbs;
}

void bakeFace(CliffScene& scene, const CliffShape& shape, std::mt19937& gen, double sFrom, double sTo)
{
    scene.footZ = shape.footZ;
    scene.faceZLow = shape.footZ - FACE_BELOW_FOOT;
    scene.faceZHigh = shape.footZ + FACE_ABOVE_FOOT;
    scene.face = bake(sFrom, sTo, scene.faceZLow, scene.faceZHigh,
                      [&shape](double s, double z) { return shapedFace(shape, s, z); });
    // The band boundary is a node row, so no interpolation cell straddles it.
    const int32_t bandRow = static_cast<int32_t>((FACE_BELOW_FOOT + TALUS_HEIGHT) / BAKE_STEP);
    scene.lowBandTop = scene.faceZLow + BAKE_STEP * bandRow;
    scene.lowBand = bakedSlopes(scene.face, 0, bandRow);
    scene.highBand = bakedSlopes(scene.face, bandRow, scene.face.sizeV - 1);
    addDetail(scene.faceDetail, gen, {1024, 256, 0.25, 0.25, 0.02, false}, scene.detailSlopes,
              scene.detailAbs);  // decimetre roughness
    addDetail(scene.faceDetail, gen, {512, 512, 0.06, 0.06, 0.006, false}, scene.detailSlopes,
              scene.detailAbs);  // centimetre texture
    const float nearest = *std::min_element(scene.face.values.begin(), scene.face.values.end());
    scene.faceCMin = static_cast<double>(nearest) - scene.detailAbs - 0.01;
}

void bakeBeach(CliffScene& scene, const CliffShape& shape, std::mt19937& gen, double sFrom, double sTo)
{
    scene.beach =
        bake(sFrom, sTo, BEACH_C_FROM, BEACH_C_TO, [&shape](double s, double c) { return shapedBeach(shape, s, c); });
    const FaceSlopes slopes = bakedSlopes(scene.beach, 0, scene.beach.sizeV - 1);
    FaceSlopes ripples;
    double rippleAbs = 0.0;
    addDetail(scene.beachDetail, gen, {256, 128, 1.5, 0.5, 0.02, false}, ripples, rippleAbs);
    scene.beachSlopeS = slopes.perS + ripples.perS;
    scene.beachSlopeC = slopes.perZ + ripples.perZ;
    // Over each cell the table minus the plane is bilinear (c = 0 is a node column),
    // so its largest node value bounds it.
    scene.beachRise = BEACH_SLOPE;
    double above = -1e300;
    for (int32_t j = 0; j < scene.beach.sizeV; ++j) {
        const double c = BEACH_C_FROM + BAKE_STEP * j;
        for (int32_t i = 0; i < scene.beach.sizeU; ++i) {
            const double v = scene.beach.values[static_cast<size_t>(j) * scene.beach.sizeU + i];
            above = std::max(above, v - BEACH_SLOPE * std::max(c, 0.0));
        }
    }
    scene.beachAbove = above + rippleAbs + 0.01;
}

void tabulateTop(CliffScene& scene, const CliffShape& shape)
{
    scene.topStart = shape.shoreStart;
    scene.topInvStep = 1.0 / SHORE_STEP;
    scene.top.clear();
    double steepest = 0.0;
    for (const ShoreNode& n : shape.shore) {
        if (!scene.top.empty()) {
            steepest = std::max(steepest, std::fabs(n.top - scene.top.back()));
        }
        scene.top.push_back(n.top);
    }
    scene.topMax = *std::max_element(scene.top.begin(), scene.top.end());
    scene.topSlope = steepest * scene.topInvStep;
}

}  // namespace

CliffScene buildCliffScene(uint32_t seed, double sFrom, double sTo)
{
    std::mt19937 shoreGen(streamSeed(seed, STREAM_SHORE));
    std::mt19937 gridGen(streamSeed(seed, STREAM_FACE_GRIDS));
    std::mt19937 beachGen(streamSeed(seed, STREAM_BEACH));
    CliffShape shape;
    shape.beachZ0 = uniformIn(shoreGen, 1.6, 2.2);
    shape.lean = uniformIn(shoreGen, 0.10, 0.20);  // a face 79 to 84 degrees steep
    shape.bermC = uniformIn(beachGen, 8.0, 13.0);
    shape.bermHeight = uniformIn(beachGen, 0.25, 0.45);
    shape.cobbles = makeNoiseGrid(beachGen, {256, 64, 2.5, 2.5, 0.3, true});
    // The foot lies where the beach meets the face, about 31 m out behind the berm.
    shape.footZ = shape.beachZ0 + BEACH_SLOPE * 31.0 + 0.5 * shape.bermHeight;
    shapeShore(shape, shoreGen, sFrom, sTo);
    shapeFaceGrids(shape, gridGen);

    CliffScene scene;
    bakeFace(scene, shape, gridGen, sFrom, sTo);
    bakeBeach(scene, shape, beachGen, sFrom, sTo);
    tabulateTop(scene, shape);
    return scene;
}
