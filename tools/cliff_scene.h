#pragma once

// The synthetic sea cliff: a beach rising gently towards a rough, partly overhanging
// cliff face. Everything is described in shore coordinates:
//   s  along-shore, metres (northing for a north-south survey, easting for east-west),
//   c  cross-shore, metres from the set-up line towards the cliff,
//   z  absolute elevation, metres.
// Rock is where c >= faceOffset(s, z) and z <= topHeight(s) (the face and the plateau
// behind it), or where z <= beachHeight(s, c). The face is a horizontal offset that
// depends on along-shore position and height, so a notch near the base gives an
// overhang. Both surfaces are a coarse table (metre-scale shape, baked when the scene
// is built) plus fine periodic detail grids, all interpolated bilinearly: cheap to
// evaluate, with slopes that are bounded exactly. The ray caster relies on those bounds.

#include <cstdint>
#include <vector>

/// Random values on a periodic grid, interpolated bilinearly (fine detail).
struct NoiseGrid {
    int32_t sizeU = 0;          ///< nodes along u (power of two; the grid repeats)
    int32_t sizeV = 0;          ///< nodes along v (power of two)
    double invCellU = 1.0;      ///< 1 / node spacing along u, 1/metres
    double invCellV = 1.0;      ///< 1 / node spacing along v, 1/metres
    double slopeU = 0.0;        ///< bound of |d value / d u| anywhere, metres per metre
    double slopeV = 0.0;        ///< bound of |d value / d v| anywhere
    double maxAbs = 0.0;        ///< largest |value|, metres
    std::vector<float> values;  ///< metres, sizeV rows of sizeU nodes
};

/// A table on a square grid, interpolated bilinearly and clamped at its edges.
struct BakedGrid {
    double u0 = 0.0;            ///< u of the first node, metres
    double v0 = 0.0;            ///< v of the first node, metres
    double invStep = 1.0;       ///< 1 / node spacing (both directions), 1/metres
    int32_t sizeU = 0;          ///< nodes along u
    int32_t sizeV = 0;          ///< nodes along v
    std::vector<float> values;  ///< metres, sizeV rows of sizeU nodes
};

/// Bounds of the partial derivatives of the face offset.
struct FaceSlopes {
    double perS = 0.0;  ///< |d faceOffset / d s|
    double perZ = 0.0;  ///< |d faceOffset / d z|
};

struct CliffScene {
    // Cliff top along the shore: linear between nodes, clamped beyond the ends.
    double topStart = 0.0;    ///< s of the first node, metres
    double topInvStep = 0.5;  ///< 1 / node spacing, 1/metres
    std::vector<double> top;  ///< elevation of the cliff top, metres

    // Face: c = face(s, zc) + detail(s, zc) with zc = clamp(z, faceZLow, faceZHigh).
    double footZ = 0.0;                 ///< reference elevation of the cliff foot, metres
    double faceZLow = 0.0;              ///< heights below are treated as this, metres
    double faceZHigh = 0.0;             ///< heights above are treated as this, metres
    BakedGrid face;                     ///< u = s, v = z: offset with ribs, strata, blocks, notch, talus
    std::vector<NoiseGrid> faceDetail;  ///< u = s, v = z: decimetre roughness, centimetre texture

    // Beach: z = beach(s, c) + detail(s, c), c clamped to the table.
    BakedGrid beach;                     ///< u = s, v = c: elevation with slope, berm, cobbles
    std::vector<NoiseGrid> beachDetail;  ///< u = s, v = c: ripples

    // Bounds used by the ray caster.
    double faceCMin = 0.0;     ///< no rock of the face lies at smaller c
    double topMax = 0.0;       ///< no rock of the face lies above this elevation
    double topSlope = 0.0;     ///< |d topHeight / d s|
    double lowBandTop = 0.0;   ///< elevation between the two slope bands (a node row)
    FaceSlopes lowBand;        ///< coarse face slopes for z <= lowBandTop (notch, talus)
    FaceSlopes highBand;       ///< coarse face slopes for z >= lowBandTop
    FaceSlopes detailSlopes;   ///< slopes of the face detail, to add to a band's
    double detailAbs = 0.0;    ///< the face detail adds at most this to |faceOffset|
    double beachRise = 0.0;    ///< slope of the beach's upper bound plane, metres per metre
    double beachAbove = 0.0;   ///< beach <= beachAbove + beachRise * max(c, 0)
    double beachSlopeS = 0.0;  ///< |d beachHeight / d s|
    double beachSlopeC = 0.0;  ///< |d beachHeight / d c|
};

/// Where a point stands relative to the face rock.
struct FaceMeasure {
    double beyond = 0.0;  ///< c - faceOffset(s, z): >= 0 at or behind the face, metres
    double below = 0.0;   ///< topHeight(s) - z: >= 0 at or below the cliff top, metres
};

double sampleGrid(const NoiseGrid& grid, double u, double v);
double sampleBaked(const BakedGrid& grid, double u, double v);

double faceOffset(const CliffScene& scene, double s, double z);
double topHeight(const CliffScene& scene, double s);
double beachHeight(const CliffScene& scene, double s, double c);

FaceMeasure faceMeasure(const CliffScene& scene, double s, double c, double z);

/// The same without the face detail: the true `beyond` lies within detailAbs of it.
FaceMeasure coarseFaceMeasure(const CliffScene& scene, double s, double c, double z);

/// True where (s, c, z) is rock (face, plateau or beach).
bool isRock(const CliffScene& scene, double s, double c, double z);
