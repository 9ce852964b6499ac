#pragma once

// The example survey: a deterministic synthetic sea-cliff survey for tests, the demo
// and the benchmarks. It writes the survey database, one binary point file per scan
// (points in the scanner's own frame; as PLY or LAS too, or instead, with the formats
// option), the batch program's configuration "ipcreg.txt", "truth.csv" with the heading
// errors put into the database, and "README.txt".
//
// Geometry (as the batch program reads the files): the scan's points go into the
// translated survey frame by p = Rz(a3) Ry(a2) Rx(a1) p_scanner + t, t = (X - TRANSX,
// Y - TRANSY, Z + 0.29), angles = database degrees times 3.14159265 / 180. The points
// are generated with the true heading; the database carries true heading + error, so
// with the database angles each scan is turned by `error` (counter-clockwise positive,
// seen from above) about the vertical through its scanner, and the correction that a
// registration must find is -error.

#include "tools/cliff_scene.h"
#include "tools/scan_file_writer.h"
#include "tools/scan_sampler.h"
#include "tools/scan_setups.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

/// Command-line settings of the generator.
struct ExampleSurveyOptions {
    std::string outDir;             ///< folder to write into; created if missing
    std::string name = "survey";    ///< database base name: <name>.csv, <name>_001_001_S1.bxyz
    int32_t scans = 6;              ///< set-ups along the beach, 2..10
    int32_t points = 250000;        ///< target points per scan
    bool eastWest = false;          ///< false: set-ups run north-south, cliff to the east;
                                    ///< true: set-ups run east-west, cliff to the north
    uint32_t seed = 1;              ///< same seed, same bytes
    double noise = 0.003;           ///< range noise, 1 sigma, metres
    double maxError = 1.0;          ///< largest heading error, degrees
    int32_t regsol = 2;             ///< REGSOL written to the configuration
    int32_t firstId = 1;            ///< ID1 of the first scan; the others follow
    int32_t firstId2 = 1;           ///< ID2 of the first scan; the others follow
    std::optional<double> zmin;     ///< ZMIN; empty: just above the beach
    int32_t cubeSize = 0;           ///< dCX = dCY = dCZ, whole metres 1..10; 0: chosen from the density
    int32_t minPairs = 0;           ///< MINNUMPTS; 0: estimated from the overlap
    bool quiet = false;             ///< no line per file written
    std::optional<double> spacing;  ///< metres between neighbouring set-ups; empty: the scene's own
    std::vector<double> errors;     ///< heading error of each scan, degrees; empty: drawn up to maxError
    std::string terrainPath;        ///< terrain sample (E N Z [class] lines); empty: the sea cliff
    /// Point files of each scan: with bxyz the .bxyz the database names; with ply and/or las
    /// one "<NAME>.ply" or "<NAME>.las" per scan, those formats taken in turn; with e57 the
    /// whole survey in "<name>.e57", each scan with the pose its database record gives.
    std::vector<PointFormat> formats{PointFormat::Bxyz};
};

/// Everything that follows from the options before any ray is cast.
struct ExampleSurveyPlan {
    CliffScene scene;              ///< the cliff and the beach
    ShoreFrame frame;              ///< shore coordinates in the survey frame
    ScannerModel scanner;          ///< field of view, range, noise
    std::vector<ScanSetup> scans;  ///< in database order, along the beach
    double transX = 0.0;           ///< TRANSX, metres
    double transY = 0.0;           ///< TRANSY, metres
    double gpsMaxDist = 0.0;       ///< GPSMAXDIST: catches the neighbour, not the one beyond
    double zmin = 0.0;             ///< ZMIN, metres
};

/// What the generation produced.
struct ExampleSurveyResult {
    std::string databasePath;            ///< <outDir>/<name>.csv
    std::vector<std::string> scanPaths;  ///< point files, database order; a scan's .bxyz before its PLY or LAS
    std::vector<int32_t> pointCounts;    ///< points per scan
    double cubeSize = 1.0;               ///< dCX = dCY = dCZ written, metres
    int32_t minPairs = 1000;             ///< MINNUMPTS written
    int32_t fewestPairs = 0;             ///< estimated pairs of the weakest neighbour pair
};

/// Checks the options; prints what is wrong to stderr and returns false if any is.
bool checkSurveyOptions(const ExampleSurveyOptions& options);

/// Scene, set-ups and configuration values for the options (no ray casting).
ExampleSurveyPlan planExampleSurvey(const ExampleSurveyOptions& options);

/// Generates the survey into options.outDir: the sea cliff, or the terrain survey when
/// options.terrainPath is set. Prints a message naming the path on failure.
std::optional<ExampleSurveyResult> generateExampleSurvey(const ExampleSurveyOptions& options);
