#include "tools/survey_generator.h"

#include "tools/cliff_builder.h"
#include "tools/cube_occupancy.h"
#include "tools/deterministic_math.h"
#include "tools/survey_files.h"
#include "tools/terrain_survey.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <random>
#include <system_error>

namespace {

constexpr double TRANS_X = 475000.0;  // round offsets near the survey
constexpr double TRANS_Y = 3640000.0;
constexpr double LINE_OFFSET = 60.0;  // survey-frame x (y) of the set-up line
constexpr double FIRST_SETUP = 40.0;  // along-shore position of the first set-up
// About half the along-shore coverage of one scan (+-50 degrees at some 33 m), so that
// neighbours overlap by roughly half and the scan after next barely touches.
constexpr double SETUP_SPACING = 38.0;
constexpr double SCENE_MARGIN = 250.0;  // scene beyond the outer set-ups, metres
constexpr int64_t MICRO = 1000000;
constexpr int32_t NUMPPC = 10;  // points per cube the registration pairs
constexpr int32_t COLUMNS_PER_BLOCK = 16;
constexpr int32_t CUBE_EDGES[] = {1, 2, 3, 4, 5, 6, 8, 10};
constexpr int32_t EDGE_CHOICES = static_cast<int32_t>(std::size(CUBE_EDGES));
constexpr int32_t WANTED_PAIRS = 4000;  // enough for MINNUMPTS 1000 with room to spare

constexpr uint32_t STREAM_SETUPS = 1;
constexpr uint32_t STREAM_NOISE = 1000;  // + scan index

ScanSetup placeSetup(const ExampleSurveyPlan& plan, std::mt19937& gen, int32_t index, double spacing,
                     int64_t headingMarginMicro)
{
    ScanSetup s;
    const double along = FIRST_SETUP + spacing * index + uniformIn(gen, -2.0, 2.0);
    const double across = uniformIn(gen, -1.0, 1.0);
    const double ground = beachHeight(plan.scene, along, across);
    const double gpsHeight = uniformIn(gen, 1.2, 1.7);  // scanner origin 1.5 to 2 m above the beach
    double x = 0.0;
    double y = 0.0;
    shoreToSurvey(plan.frame, along, across, x, y);
    s.eastingE4 = static_cast<int64_t>(TRANS_X) * 10000 + std::llround(x * 1e4);
    s.northingE4 = static_cast<int64_t>(TRANS_Y) * 10000 + std::llround(y * 1e4);
    s.elevationE4 = std::llround((ground + gpsHeight) * 1e4);
    s.levelXMicro = microIn(gen, -350000, 350000);
    s.levelYMicro = microIn(gen, -350000, 350000);
    // Any direction; kept away from 0/360 by the error range so A3 needs no wrapping.
    s.headingMicro = microIn(gen, headingMarginMicro, 360 * MICRO - 1 - headingMarginMicro);
    return s;
}

CubeCounts scanWindow(const ExampleSurveyPlan& plan, const ScanPose& pose)
{
    double s = 0.0;
    double c = 0.0;
    surveyToShore(plan.frame, pose.x, pose.y, s, c);
    double x0 = 0.0, y0 = 0.0, x1 = 0.0, y1 = 0.0;
    shoreToSurvey(plan.frame, s - 110.0, c - 5.0, x0, y0);
    shoreToSurvey(plan.frame, s + 110.0, c + 75.0, x1, y1);
    return makeCubeWindow(std::min(x0, x1), std::max(x0, x1), std::min(y0, y1), std::max(y0, y1), plan.zmin,
                          plan.scene.topMax + 2.0);
}

struct ScanOutcome {
    int32_t points = 0;  ///< points written
    CubeCounts cubes;    ///< points per cube above ZMIN
};

std::optional<ScanOutcome> generateScan(const ExampleSurveyPlan& plan, const ExampleSurveyOptions& options,
                                        int32_t index, ScanFiles& files, SurveyE57File& survey)
{
    const ScanSetup& setup = plan.scans[index];
    const ScanGrid grid = planScanGrid(plan.scene, plan.frame, setup.pose, plan.scanner, options.points);
    std::mt19937 noiseGen(streamSeed(options.seed, STREAM_NOISE + static_cast<uint32_t>(index)));
    if (!files.open(scanOutputs(options, setup, index), &survey, &setup)) {
        return std::nullopt;
    }
    ScanOutcome out;
    out.cubes = scanWindow(plan, setup.pose);
    std::vector<ScanPoint> block;
    for (int32_t col = 0; col < grid.columns; col += COLUMNS_PER_BLOCK) {
        block.clear();
        const int32_t end = std::min(grid.columns, col + COLUMNS_PER_BLOCK);
        sampleColumns(plan.scene, plan.frame, setup.pose, plan.scanner, grid, col, end, noiseGen, block);
        for (const ScanPoint& p : block) {
            countPoint(out.cubes, p.wx, p.wy, p.wz);
        }
        out.points += static_cast<int32_t>(block.size());
        if (!files.append(block)) {
            break;
        }
    }
    if (!files.finish()) {
        return std::nullopt;
    }
    return out;
}

// Cube size and MINNUMPTS from the fewest shared cubes of any neighbour pair, per edge.
PairingSettings choosePairing(const ExampleSurveyOptions& options, const int32_t* fewestShared)
{
    int32_t pick = 0;
    for (int32_t e = 0; e < EDGE_CHOICES; ++e) {
        if (options.cubeSize > 0) {
            if (CUBE_EDGES[e] == options.cubeSize) {
                pick = e;
            }
        } else if (NUMPPC * fewestShared[pick] < WANTED_PAIRS && fewestShared[e] > fewestShared[pick]) {
            pick = e;
        }
    }
    PairingSettings pairing;
    pairing.cubeSize = static_cast<double>(CUBE_EDGES[pick]);
    pairing.fewestPairs = NUMPPC * fewestShared[pick];
    // A quarter of the possible pairs: many are rejected by the distance limit while
    // the headings are still wrong.
    pairing.minPairs = std::clamp((pairing.fewestPairs / 4) / 10 * 10, 10, 1000);
    if (options.minPairs > 0) {
        pairing.minPairs = options.minPairs;
    }
    return pairing;
}

bool makeOutputFolder(const std::string& dir)
{
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir, ec)) {
        std::fprintf(stderr, "Cannot create folder %s\n", dir.c_str());
        return false;
    }
    return true;
}

bool writeScans(const ExampleSurveyPlan& plan, const ExampleSurveyOptions& options, ExampleSurveyResult& result,
                PairingSettings& pairing)
{
    int32_t fewestShared[EDGE_CHOICES];
    std::fill(fewestShared, fewestShared + EDGE_CHOICES, INT32_MAX);
    CubeCounts previous;
    SurveyE57File survey;
    if (!survey.open(options)) {
        return false;
    }
    for (int32_t i = 0; i < static_cast<int32_t>(plan.scans.size()); ++i) {
        ScanFiles files;
        std::optional<ScanOutcome> scan = generateScan(plan, options, i, files, survey);
        if (!scan) {
            return false;
        }
        files.announce(scan->points, options.quiet);
        for (const ScanOutput& output : files.outputs()) {
            result.scanPaths.push_back(output.path);
        }
        result.pointCounts.push_back(scan->points);
        if (i > 0) {
            for (int32_t e = 0; e < EDGE_CHOICES; ++e) {
                const int32_t shared = sharedCubes(previous, scan->cubes, CUBE_EDGES[e], NUMPPC);
                fewestShared[e] = std::min(fewestShared[e], shared);
            }
        }
        previous = std::move(scan->cubes);
    }
    pairing = choosePairing(options, fewestShared);
    return survey.finish(result, options.quiet);
}

}  // namespace

bool checkSurveyOptions(const ExampleSurveyOptions& o)
{
    bool ok = true;
    auto fail = [&ok](const char* what) {
        std::fprintf(stderr, "Invalid option: %s\n", what);
        ok = false;
    };
    if (o.outDir.empty())
        fail("an output folder is required");
    if (o.name.empty() || o.name.size() > 40
        || o.name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_-")
            != std::string::npos) {
        fail("the name must be 1 to 40 letters, digits, '_' or '-'");
    }
    if (o.scans < 2 || o.scans > 10)
        fail("the scan count must be 2 to 10");
    if (o.points < 1000 || o.points > 20000000)
        fail("the points per scan must be 1000 to 20000000");
    if (!(o.noise >= 0.0 && o.noise <= 0.1))
        fail("the noise must be 0 to 0.1 m");
    if (!(o.maxError >= 0.0 && o.maxError <= 180.0))
        fail("the largest heading error must be 0 to 180 degrees");
    if (o.firstId < 0 || o.firstId > 100000 || o.firstId2 < 0 || o.firstId2 > 100000) {
        fail("the first ids must be 0 to 100000");
    }
    if (o.zmin && !(*o.zmin > -1000.0 && *o.zmin < 1000.0))
        fail("ZMIN must lie within +-1000 m");
    if (o.cubeSize < 0 || o.cubeSize > 10 || o.cubeSize == 7 || o.cubeSize == 9) {
        fail("the cube size must be 1, 2, 3, 4, 5, 6, 8 or 10 m");
    }
    if (o.minPairs < 0)
        fail("MINNUMPTS must not be negative");
    if (o.spacing && !(*o.spacing >= 5.0 && *o.spacing <= 100.0))
        fail("the spacing must be 5 to 100 m");
    if (!o.errors.empty() && o.errors.size() != static_cast<size_t>(o.scans)) {
        fail("give one heading error per scan");
    }
    for (double e : o.errors) {
        if (!(e >= -180.0 && e <= 180.0))
            fail("each heading error must be -180 to 180 degrees");
    }
    std::vector<PointFormat> formats = o.formats;
    std::sort(formats.begin(), formats.end());
    if (formats.empty() || std::adjacent_find(formats.begin(), formats.end()) != formats.end()) {
        fail("give each of the formats bxyz, ply, las and e57 at most once, and at least one");
    }
    return ok;
}

ExampleSurveyPlan planExampleSurvey(const ExampleSurveyOptions& options)
{
    ExampleSurveyPlan plan;
    plan.transX = TRANS_X;
    plan.transY = TRANS_Y;
    plan.frame.eastWest = options.eastWest;
    plan.frame.lineOffset = LINE_OFFSET;
    plan.scanner.rangeNoise = options.noise;
    const double spacing = options.spacing.value_or(SETUP_SPACING);
    const double lastSetup = FIRST_SETUP + spacing * (options.scans - 1);
    plan.scene = buildCliffScene(options.seed, FIRST_SETUP - SCENE_MARGIN, lastSetup + SCENE_MARGIN);
    std::mt19937 gen(streamSeed(options.seed, STREAM_SETUPS));
    const int64_t maxErrMicro = std::llround(options.maxError * 1e6);
    // Given errors may exceed --max-error; the headings keep clear of 0 and 360 by either.
    const int64_t headingMarginMicro = headingMargin(options.maxError, options.errors);
    for (int32_t i = 0; i < options.scans; ++i) {
        ScanSetup s = placeSetup(plan, gen, i, spacing, headingMarginMicro);
        s.id1 = options.firstId + i;
        s.id2 = options.firstId2 + i;
        s.name = "S" + std::to_string(s.id1);
        plan.scans.push_back(s);
    }
    // Drawn even when the errors are given, so that everything else stays as drawn.
    drawHeadingErrors(gen, maxErrMicro, plan.scans);
    setHeadingErrors(options.errors, plan.scans);
    for (ScanSetup& s : plan.scans) {
        s.pose = truePose(s, TRANS_X, TRANS_Y);
    }
    plan.gpsMaxDist = neighbourWindow(plan.scans);
    // Just above the highest the beach can reach under the face, so the pairing works
    // on the cliff and the talus rather than on the nearly flat beach.
    const double beachTop = plan.scene.beachAbove + plan.scene.beachRise * 40.0;
    plan.zmin = options.zmin ? *options.zmin : std::ceil(beachTop * 10.0) / 10.0;
    return plan;
}

std::optional<ExampleSurveyResult> generateExampleSurvey(const ExampleSurveyOptions& options)
{
    if (!checkSurveyOptions(options) || !makeOutputFolder(options.outDir)) {
        return std::nullopt;
    }
    if (!options.terrainPath.empty()) {
        return generateTerrainSurvey(options);
    }
    const ExampleSurveyPlan plan = planExampleSurvey(options);
    const std::string base = options.outDir + "/" + options.name;
    ExampleSurveyResult result;
    result.databasePath = base + ".csv";
    if (!announceWritten(writeSurveyDatabase(result.databasePath, plan.scans), result.databasePath, options.quiet)) {
        return std::nullopt;
    }
    PairingSettings pairing;
    if (!writeScans(plan, options, result, pairing)) {
        return std::nullopt;
    }
    result.cubeSize = pairing.cubeSize;
    result.minPairs = pairing.minPairs;
    result.fewestPairs = pairing.fewestPairs;
    const std::string config = options.outDir + "/ipcreg.txt";
    const std::string truth = options.outDir + "/truth.csv";
    const std::string readme = options.outDir + "/README.txt";
    if (!announceWritten(writeConfiguration(config, plan, options, pairing), config, options.quiet)
        || !announceWritten(writeTruth(truth, plan.scans, result.pointCounts), truth, options.quiet)
        || !announceWritten(writeReadme(readme, plan, options, result), readme, options.quiet)) {
        return std::nullopt;
    }
    return result;
}
