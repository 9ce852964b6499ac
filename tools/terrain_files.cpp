#include "tools/terrain_files.h"

#include <cinttypes>
#include <cmath>
#include <filesystem>

namespace {

std::string fileName(const std::string& path) { return std::filesystem::path(path).filename().string(); }

// XMIN, XMAX, YMIN, YMAX: the field in the translated survey frame and 10 m around it.
void fieldBox(const HeightField& f, double* box)
{
    box[0] = std::floor((f.x0 - 10.0) / 10.0) * 10.0;
    box[1] = std::ceil((f.x0 + f.step * (f.nx - 1) + 10.0) / 10.0) * 10.0;
    box[2] = std::floor((f.y0 - 10.0) / 10.0) * 10.0;
    box[3] = std::ceil((f.y0 + f.step * (f.ny - 1) + 10.0) / 10.0) * 10.0;
}

}  // namespace

bool writeTerrainConfiguration(const std::string& path, const TerrainSurveyPlan& plan,
                               const ExampleSurveyOptions& options, const PairingSettings& pairing)
{
    TextFile f = createTextFile(path);
    if (!f.isOpen()) {
        return false;
    }
    std::FILE* o = f.file();
    std::fprintf(o, "# Terrain survey of %s: seed %" PRIu32 ", %i scans, about %i points per scan\n",
                 fileName(options.terrainPath).c_str(), options.seed, static_cast<int>(plan.scans.size()),
                 static_cast<int>(options.points));
    std::fprintf(o, "# Range noise %.4f m (1 sigma) near the scanner, growing with range; heading errors %s\n",
                 options.noise, options.errors.empty() ? "drawn (see truth.csv)" : "as given (see truth.csv)");
    std::fprintf(o, "# Sparse scans: %.0f m cubes with NUMPPC %i; pairs up to %g m apart at first, %g m at the end\n",
                 pairing.cubeSize, static_cast<int>(SPARSE_NUMPPC), SPARSE_MAXDIST_INITIAL, SPARSE_MAXDIST_FINAL);
    std::fprintf(o, "# Weakest neighbour pair: about %i point pairs\n", static_cast<int>(pairing.fewestPairs));
    SurveyKeys keys;
    keys.gpsMaxDist = plan.gpsMaxDist;
    keys.dataDir = plan.dataDir;
    keys.transX = plan.transX;
    keys.transY = plan.transY;
    keys.maxRange = plan.scanner.maxRange + 50.0;
    fieldBox(plan.field, keys.box);
    keys.zmin = plan.zmin;
    keys.zmax = std::ceil(plan.field.highest) + 50.0;
    keys.pairing = pairing;
    keys.pointsPerCube = SPARSE_NUMPPC;
    keys.maxDistInitial = SPARSE_MAXDIST_INITIAL;
    keys.maxDistFinal = SPARSE_MAXDIST_FINAL;
    keys.regsol = options.regsol;
    writeSurveyKeys(o, keys);
    return finishTextFile(f, path);
}

bool writeTerrainReadme(const std::string& path, const TerrainSurveyPlan& plan, const ExampleSurveyOptions& options,
                        const ExampleSurveyResult& result)
{
    TextFile f = createTextFile(path);
    if (!f.isOpen()) {
        return false;
    }
    std::FILE* o = f.file();
    std::fprintf(o,
                 "Sparse terrain survey of %s (make_example_survey --seed %" PRIu32 " --scans %i --points %i "
                 "--noise %g --max-error %g%s)\n\n",
                 fileName(options.terrainPath).c_str(), options.seed, static_cast<int>(plan.scans.size()),
                 static_cast<int>(options.points), options.noise, options.maxError, extraOptionsText(options).c_str());
    writeFileListLines(o, options, plan.transX, plan.transY);
    const char* sides[] = {"south", "north", "west", "east"};
    std::fprintf(o,
                 "The surface: the sample's ground points (class 0) averaged onto a %.1f m grid (%i nodes\n"
                 "without a point within %.1f m left open). The set-ups stand in a row %.1f m apart, some\n"
                 "%.0f m in front of the foot of the slope (the sample's %s side, DATADIR %i), on level\n"
                 "ground at the height of the edge, each looking up the slope over +-%.0f degrees, out to\n"
                 "%.0f m; far returns thin out and their range noise grows, as with a real long-range scanner.\n",
                 plan.field.step, static_cast<int>(plan.field.missing), 10.0 * TERRAIN_FIELD_RADIUS, plan.spacing,
                 TERRAIN_STANDOFF, sides[static_cast<int>(plan.foot)], static_cast<int>(plan.dataDir),
                 plan.scanner.halfWidthDeg, plan.scanner.maxRange);
    std::fprintf(o, "Cube size %.0f m, NUMPPC %i, MINNUMPTS %i, weakest neighbour pair about %i point pairs.\n",
                 result.cubeSize, static_cast<int>(SPARSE_NUMPPC), static_cast<int>(result.minPairs),
                 static_cast<int>(result.fewestPairs));
    return finishTextFile(f, path);
}
