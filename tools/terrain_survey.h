#pragma once

// The terrain survey: a sparse terrestrial survey of real ground taken from a terrain
// sample (see terrain_points.h). A height field is built from the sample's ground
// points; a row of set-ups stands on the level ground in front of the sample's lowest
// edge (the foot of the slope), each scanner looking across that edge up the slope; and
// each scan is cast onto the field (see terrain_scan.h). The files are those of the
// example survey: database, one point file per scan in the scanner's frame,
// "ipcreg.txt" with settings for sparse scans, "truth.csv" and "README.txt".

#include "tools/height_field.h"
#include "tools/scan_setups.h"
#include "tools/survey_generator.h"
#include "tools/terrain_points.h"
#include "tools/terrain_scan.h"

#include <cstdint>
#include <optional>
#include <vector>

/// The side of the field's rectangle whose nodes lie lowest on average: the foot of the slope.
enum class FootSide { South, North, West, East };

/// Everything that follows from the options and the sample before any ray is cast.
struct TerrainSurveyPlan {
    HeightField field;                ///< the surface the scans sample
    FootSide foot = FootSide::South;  ///< the set-ups stand in front of this side
    double lookAzimuth = 0.0;         ///< radians counter-clockwise from +x: from the foot into the field
    TerrainScanner scanner;           ///< field of view, range, noise
    std::vector<ScanSetup> scans;     ///< in database order, along the foot
    double transX = 0.0;              ///< TRANSX, metres (round hundreds below the sample)
    double transY = 0.0;              ///< TRANSY, metres
    int32_t dataDir = 0;              ///< DATADIR: 0 the set-ups run north-south, 1 east-west
    double spacing = 0.0;             ///< metres between neighbouring set-ups before jitter
    double gpsMaxDist = 0.0;          ///< GPSMAXDIST, metres
    double zmin = 0.0;                ///< ZMIN, metres
};

/// Node spacing of the height field and the reach of each node's mean, metres: about
/// the sample's point spacing, so that each node averages a handful of points.
constexpr double TERRAIN_FIELD_STEP = 1.0;
constexpr double TERRAIN_FIELD_RADIUS = 1.5;

/// Pairing settings written for the sparse scans. The registration pairs points only
/// within one search cube, and only in cubes where both scans hold NUMPPC points; with a
/// few points per hundred square metres far out, that needs large cubes and few points
/// per cube. The partner plane runs through the three nearest points, metres apart, so
/// it misses the rough ground by decimetres even at the true heading: the final pair
/// distance limit must leave room for that, and the initial one for a degree of heading
/// error at a hundred metres.
constexpr int32_t SPARSE_CUBE = 10;             ///< dCX = dCY = dCZ, metres
constexpr int32_t SPARSE_NUMPPC = 5;            ///< NUMPPC
constexpr double SPARSE_MAXDIST_INITIAL = 2.0;  ///< MAXDISTINITIAL, metres
constexpr double SPARSE_MAXDIST_FINAL = 0.5;    ///< MAXDISTFINAL, metres

/// Distance of the set-up row in front of the foot, metres: far enough that a scanner
/// sees the slope rise before it rather than the ground at its feet.
constexpr double TERRAIN_STANDOFF = 25.0;

/// Points per scan when the command line does not say.
constexpr int32_t TERRAIN_DEFAULT_POINTS = 3000;

/// Scene and set-ups for the options; prints why and returns nullopt when the set-ups
/// do not fit on the terrain.
std::optional<TerrainSurveyPlan> planTerrainSurvey(const ExampleSurveyOptions& options,
                                                   const std::vector<TerrainPoint>& points);

/// Generates the terrain survey of options.terrainPath into options.outDir (which exists).
std::optional<ExampleSurveyResult> generateTerrainSurvey(const ExampleSurveyOptions& options);
