#include "tools/terrain_survey.h"

#include "tools/cube_occupancy.h"
#include "tools/deterministic_math.h"
#include "tools/survey_files.h"
#include "tools/terrain_files.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <random>

namespace {

constexpr double EDGE_BAND = 5.0;     // nodes this close to a side give its mean height, metres
constexpr double LINE_USE = 0.75;     // the default spacing spreads the set-ups over this share of the foot
constexpr double MAX_SPACING = 25.0;  // metres; a longer default would leave neighbours little in common
constexpr double ALONG_JITTER = 2.0;  // metres, along the row
constexpr double OUT_JITTER = 3.0;    // metres, across it
constexpr double EDGE_SEARCH = 20.0;  // metres in from the edge to look for the ground's height
constexpr int64_t MICRO = 1000000;

constexpr uint32_t STREAM_TERRAIN_SETUPS = 2001;
constexpr uint32_t STREAM_TERRAIN_RETURNS = 3000;  // + scan index

// The bare-ground points in the translated frame. Objects stay out: the set-ups must
// stand on the ground, and a tree crown averaged into a height field would be a solid
// hill that hides the slope behind it.
std::vector<FieldPoint> groundPoints(const std::vector<TerrainPoint>& points, double transX, double transY)
{
    std::vector<FieldPoint> out;
    for (const TerrainPoint& p : points) {
        if (p.pointClass == 0) {
            out.push_back({p.easting - transX, p.northing - transY, p.elevation});
        }
    }
    return out;
}

// The side whose nodes within EDGE_BAND of it lie lowest on average.
FootSide lowestSide(const HeightField& f)
{
    const int32_t band = std::max(1, static_cast<int32_t>(EDGE_BAND / f.step));
    double sum[4] = {0.0, 0.0, 0.0, 0.0};
    double count[4] = {0.0, 0.0, 0.0, 0.0};
    for (int32_t j = 0; j < f.ny; ++j) {
        for (int32_t i = 0; i < f.nx; ++i) {
            const double z = f.heights[static_cast<size_t>(j) * static_cast<size_t>(f.nx) + static_cast<size_t>(i)];
            const bool near[4] = {j < band, j >= f.ny - band, i < band, i >= f.nx - band};
            for (int32_t k = 0; k < 4; ++k) {
                if (near[k] && !std::isnan(z)) {
                    sum[k] += z;
                    count[k] += 1.0;
                }
            }
        }
    }
    int32_t lowest = 0;
    for (int32_t k = 1; k < 4; ++k) {
        if (count[k] > 0.0 && (count[lowest] == 0.0 || sum[k] / count[k] < sum[lowest] / count[lowest])) {
            lowest = k;
        }
    }
    return static_cast<FootSide>(lowest);
}

// The foot side's geometry: where the edge runs, the direction into the field, and the
// direction in which the set-ups are numbered (growing x or y, as the neighbour search expects).
struct FootLine {
    double edgeX = 0.0, edgeY = 0.0;    ///< the edge's first end, metres
    double alongX = 1.0, alongY = 0.0;  ///< unit vector along the edge
    double inX = 0.0, inY = 1.0;        ///< unit vector into the field
    double length = 0.0;                ///< metres
};

FootLine footLine(const HeightField& f, FootSide side)
{
    const double x1 = f.x0 + f.step * (f.nx - 1);
    const double y1 = f.y0 + f.step * (f.ny - 1);
    FootLine line;
    const bool alongX = side == FootSide::South || side == FootSide::North;
    line.edgeX = side == FootSide::East ? x1 : f.x0;
    line.edgeY = side == FootSide::North ? y1 : f.y0;
    line.alongX = alongX ? 1.0 : 0.0;
    line.alongY = alongX ? 0.0 : 1.0;
    line.inX = side == FootSide::West ? 1.0 : side == FootSide::East ? -1.0 : 0.0;
    line.inY = side == FootSide::South ? 1.0 : side == FootSide::North ? -1.0 : 0.0;
    line.length = alongX ? x1 - f.x0 : y1 - f.y0;
    return line;
}

// Set-up i of the row, standing on level ground at the height of the edge in front of
// it; false when the edge has no height there.
bool placeSetup(const TerrainSurveyPlan& plan, const FootLine& line, std::mt19937& gen, int32_t index, int32_t count,
                int64_t headingMarginMicro, ScanSetup& s)
{
    const double along =
        0.5 * line.length + plan.spacing * (index - 0.5 * (count - 1)) + uniformIn(gen, -ALONG_JITTER, ALONG_JITTER);
    const double out = TERRAIN_STANDOFF + uniformIn(gen, -OUT_JITTER, OUT_JITTER);
    const double edgeX = line.edgeX + along * line.alongX;
    const double edgeY = line.edgeY + along * line.alongY;
    const double gpsHeight = uniformIn(gen, 1.2, 1.7);  // scanner origin 1.5 to 2 m above the ground
    if (!(along >= 0.0 && along <= line.length)) {
        return false;
    }
    // The first height in from the edge: a gap in the sample may reach the edge.
    double ground = 0.0;
    bool found = false;
    for (double in = 0.0; in <= EDGE_SEARCH && !found; in += plan.field.step) {
        found = heightAt(plan.field, edgeX + in * line.inX, edgeY + in * line.inY, ground);
    }
    if (!found) {
        return false;
    }
    const double x = edgeX - out * line.inX;
    const double y = edgeY - out * line.inY;
    s.eastingE4 = std::llround(plan.transX) * 10000 + std::llround(x * 1e4);
    s.northingE4 = std::llround(plan.transY) * 10000 + std::llround(y * 1e4);
    s.elevationE4 = std::llround((ground + gpsHeight) * 1e4);
    s.levelXMicro = microIn(gen, -350000, 350000);
    s.levelYMicro = microIn(gen, -350000, 350000);
    s.headingMicro = microIn(gen, headingMarginMicro, 360 * MICRO - 1 - headingMarginMicro);
    return true;
}

bool placeSetups(const ExampleSurveyOptions& options, TerrainSurveyPlan& plan)
{
    const FootLine line = footLine(plan.field, plan.foot);
    plan.spacing = options.spacing.value_or(
        std::min(MAX_SPACING, std::floor(LINE_USE * line.length / std::max(1, options.scans - 1))));
    std::mt19937 gen(streamSeed(options.seed, STREAM_TERRAIN_SETUPS));
    const int64_t margin = headingMargin(options.maxError, options.errors);
    for (int32_t i = 0; i < options.scans; ++i) {
        ScanSetup s;
        if (!placeSetup(plan, line, gen, i, options.scans, margin, s)) {
            std::fprintf(stderr,
                         "Set-up %i would stand beyond the terrain's foot: choose fewer scans or a smaller spacing\n",
                         static_cast<int>(i + 1));
            return false;
        }
        s.id1 = options.firstId + i;
        s.id2 = options.firstId2 + i;
        s.name = "S" + std::to_string(s.id1);
        plan.scans.push_back(s);
    }
    drawHeadingErrors(gen, std::llround(options.maxError * 1e6), plan.scans);
    setHeadingErrors(options.errors, plan.scans);
    for (ScanSetup& s : plan.scans) {
        s.pose = truePose(s, plan.transX, plan.transY);
    }
    return true;
}

CubeCounts fieldWindow(const TerrainSurveyPlan& plan)
{
    const HeightField& f = plan.field;
    return makeCubeWindow(f.x0, f.x0 + f.step * (f.nx - 1), f.y0, f.y0 + f.step * (f.ny - 1), plan.zmin,
                          f.highest + 2.0);
}

bool writeScan(const TerrainSurveyPlan& plan, const ExampleSurveyOptions& options, int32_t index, ScanFiles& files,
               SurveyE57File& survey, std::vector<ScanPoint>& points, CubeCounts& cubes)
{
    const ScanSetup& setup = plan.scans[static_cast<size_t>(index)];
    const ScanGrid grid = planTerrainScan(plan.field, setup.pose, plan.lookAzimuth, plan.scanner, options.points);
    std::mt19937 gen(streamSeed(options.seed, STREAM_TERRAIN_RETURNS + static_cast<uint32_t>(index)));
    points.clear();
    sampleTerrainScan(plan.field, setup.pose, plan.scanner, grid, gen, points);
    const bool written = files.open(scanOutputs(options, setup, index), &survey, &setup) && files.append(points);
    if (!files.finish() || !written) {
        return false;
    }
    for (const ScanPoint& p : points) {
        countPoint(cubes, p.wx, p.wy, p.wz);
    }
    files.announce(static_cast<int32_t>(points.size()), options.quiet);
    return true;
}

bool writeScans(const TerrainSurveyPlan& plan, const ExampleSurveyOptions& options, ExampleSurveyResult& result,
                PairingSettings& pairing)
{
    const int32_t edge = options.cubeSize > 0 ? options.cubeSize : SPARSE_CUBE;
    int32_t fewestShared = INT32_MAX;
    std::vector<ScanPoint> points;
    CubeCounts previous;
    SurveyE57File survey;
    if (!survey.open(options)) {
        return false;
    }
    for (int32_t i = 0; i < static_cast<int32_t>(plan.scans.size()); ++i) {
        CubeCounts cubes = fieldWindow(plan);
        ScanFiles files;
        if (!writeScan(plan, options, i, files, survey, points, cubes)) {
            return false;
        }
        for (const ScanOutput& output : files.outputs()) {
            result.scanPaths.push_back(output.path);
        }
        result.pointCounts.push_back(static_cast<int32_t>(points.size()));
        if (i > 0) {
            fewestShared = std::min(fewestShared, sharedCubes(previous, cubes, edge, SPARSE_NUMPPC));
        }
        previous = std::move(cubes);
    }
    pairing.cubeSize = static_cast<double>(edge);
    pairing.fewestPairs = SPARSE_NUMPPC * (plan.scans.size() > 1 ? fewestShared : 0);
    // A quarter of the possible pairs, as for the cliff: many fall beyond the distance
    // limit while the headings are still wrong.
    pairing.minPairs = std::clamp((pairing.fewestPairs / 4) / 10 * 10, 10, 1000);
    if (options.minPairs > 0) {
        pairing.minPairs = options.minPairs;
    }
    return survey.finish(result, options.quiet);
}

}  // namespace

std::optional<TerrainSurveyPlan> planTerrainSurvey(const ExampleSurveyOptions& options,
                                                   const std::vector<TerrainPoint>& points)
{
    TerrainSurveyPlan plan;
    double minE = 1e300, minN = 1e300;
    for (const TerrainPoint& p : points) {
        minE = std::min(minE, p.easting);
        minN = std::min(minN, p.northing);
    }
    // Round hundreds, so that the translated frame keeps the sample's centimetres exact.
    plan.transX = std::floor(minE / 100.0) * 100.0;
    plan.transY = std::floor(minN / 100.0) * 100.0;
    const std::vector<FieldPoint> ground = groundPoints(points, plan.transX, plan.transY);
    if (static_cast<int64_t>(ground.size()) < MIN_TERRAIN_POINTS) {
        std::fprintf(stderr, "The terrain sample holds fewer than %i ground points\n",
                     static_cast<int>(MIN_TERRAIN_POINTS));
        return std::nullopt;
    }
    plan.field = buildHeightField(ground, TERRAIN_FIELD_STEP, TERRAIN_FIELD_RADIUS);
    plan.foot = lowestSide(plan.field);
    plan.dataDir = plan.foot == FootSide::South || plan.foot == FootSide::North ? 1 : 0;
    const double quarter = 0.5 * 3.14159265358979323846;
    plan.lookAzimuth = plan.foot == FootSide::South ? quarter
        : plan.foot == FootSide::North              ? -quarter
        : plan.foot == FootSide::West               ? 0.0
                                                    : 2.0 * quarter;
    plan.scanner.rangeNoise = options.noise;
    if (!placeSetups(options, plan)) {
        return std::nullopt;
    }
    plan.gpsMaxDist = neighbourWindow(plan.scans);
    // Everything counts: below the lowest ground, unless asked otherwise.
    plan.zmin = options.zmin ? *options.zmin : std::floor(plan.field.lowest) - 5.0;
    return plan;
}

std::optional<ExampleSurveyResult> generateTerrainSurvey(const ExampleSurveyOptions& options)
{
    const std::optional<std::vector<TerrainPoint>> points = readTerrainPoints(options.terrainPath);
    if (!points) {
        return std::nullopt;
    }
    const std::optional<TerrainSurveyPlan> plan = planTerrainSurvey(options, *points);
    if (!plan) {
        return std::nullopt;
    }
    ExampleSurveyResult result;
    result.databasePath = options.outDir + "/" + options.name + ".csv";
    if (!announceWritten(writeSurveyDatabase(result.databasePath, plan->scans), result.databasePath, options.quiet)) {
        return std::nullopt;
    }
    PairingSettings pairing;
    if (!writeScans(*plan, options, result, pairing)) {
        return std::nullopt;
    }
    result.cubeSize = pairing.cubeSize;
    result.minPairs = pairing.minPairs;
    result.fewestPairs = pairing.fewestPairs;
    const std::string config = options.outDir + "/ipcreg.txt";
    const std::string truth = options.outDir + "/truth.csv";
    const std::string readme = options.outDir + "/README.txt";
    if (!announceWritten(writeTerrainConfiguration(config, *plan, options, pairing), config, options.quiet)
        || !announceWritten(writeTruth(truth, plan->scans, result.pointCounts), truth, options.quiet)
        || !announceWritten(writeTerrainReadme(readme, *plan, options, result), readme, options.quiet)) {
        return std::nullopt;
    }
    return result;
}
