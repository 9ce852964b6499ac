#include "batch/engine/pair_preparation.h"

#include "batch/engine/pair_context.h"
#include "batch/engine/pairing.h"
#include "batch/engine/search_cubes.h"
#include "batch/engine/transform.h"
#include "batch/inputs/configuration.h"
#include "batch/inputs/point_files.h"
#include "batch/inputs/survey_database.h"

#include <cstdio>

namespace {

// Loads one scan: a ".bxyz" file as binary points, falling back to text when that
// yields none; any other file as text. A scanner's own file (LAS, PLY, PTX) named
// ".bxyz" gives no points. Returns the scan's cliff distance (0.0 for binary points
// and for loose files).
double loadScan(const RegSettings& settings, const std::vector<ScanRecord>& scans, const PrepareSteps& steps,
                int32_t index, const std::string& path, PointSet& scan)
{
    if (isBinaryPointFileName(path) && reportScannerFormat(path, nullptr)) {
        scan.points.clear();
        return 0.0;
    }
    if (isBinaryPointFileName(path) && readBinaryPoints(path, scan.points) > 0) {
        if (!looksLikeText(path))
            return 0.0;
        std::printf("The point file %s holds text, not binary points: it is read as a text point file. \n",
                    path.c_str());
    }
    const bool haveRecord = steps.fromScanTable && index >= 0 && index < static_cast<int32_t>(scans.size());
    const ScanRecord position = haveRecord ? scans[static_cast<std::size_t>(index)] : ScanRecord{};
    TextPointOptions text;
    text.translate = steps.translateText;
    text.atScanner = steps.fromScanTable;
    text.scannerX = position.x;
    text.scannerY = position.y;
    text.scannerZ = position.z;
    text.zLow = settings.ZMIN;
    double cliffDistance = 0.0;
    const bool readBack =
        haveRecord && steps.readBacks != nullptr && index < static_cast<int32_t>(steps.readBacks->size());
    readTextPoints(path, settings, text, scan.points, cliffDistance,
                   readBack ? &(*steps.readBacks)[static_cast<std::size_t>(index)] : nullptr);
    return cliffDistance;
}

void stampSortAndReport(const CubeGrid& grid, PairContext& pair, PointSet& scan, int32_t shownId, int32_t threads)
{
    stampAndSortByCube(scan.points, grid, pair.sortBuffers, threads);
    std::printf("Assigned %i Points from scan %i to %i Cubes\n", static_cast<int32_t>(scan.points.size()), shownId,
                grid.cubeCount);
}

// Measures both directed RMS values of the prepared pair with MAXDISTINITIAL and sets
// the initial RMS (printed). False when a cube held too many points.
bool measureInitialRms(const RegSettings& settings, PairContext& pair, PairSink* diagnostics)
{
    const PairingResult r21 =
        computePairRms(settings, {pair.scan2.points, pair.scan1.points, pair.cubeCount, settings.ZMIN},
                       settings.MAXDISTINITIAL, pair.candidates, diagnostics);
    if (r21.tooManyPoints)
        return false;
    const PairingResult r12 =
        computePairRms(settings, {pair.scan1.points, pair.scan2.points, pair.cubeCount, settings.ZMIN},
                       settings.MAXDISTINITIAL, pair.candidates, diagnostics);
    if (r12.tooManyPoints)
        return false;
    pair.rms21 = static_cast<float>(r21.rms);
    pair.rms12 = static_cast<float>(r12.rms);
    // Added in single precision, halved in double, kept in single precision.
    const float sum = pair.rms21 + pair.rms12;
    pair.initialRms = static_cast<float>(static_cast<double>(sum) * 0.5);
    std::printf("Initial rms = %f calculated from %i pts\n", static_cast<double>(pair.initialRms), r12.pairCount);
    return true;
}

}  // namespace

PrepareResult prepareRegistration(const RegSettings& settings, const std::vector<ScanRecord>& scans, PairContext& pair,
                                  const PrepareSteps& steps, PairSink* diagnostics)
{
    std::printf("Preparing data for registration.... \n");
    const double cliff1 = loadScan(settings, scans, steps, pair.scan1Index, pair.scan1Path, pair.scan1);
    const double cliff2 = loadScan(settings, scans, steps, pair.scan2Index, pair.scan2Path, pair.scan2);
    pair.rangeValue = (cliff1 + cliff2) * 0.5;
    if (pair.scan1.points.empty() || pair.scan2.points.empty())
        return PrepareResult::NoPoints;

    if (settings.SCANTRANSFORM == 0 && steps.fromScanTable && !steps.surveyFramePoints) {
        for (const auto& [index, scan] : {std::pair{pair.scan1Index, &pair.scan1}, {pair.scan2Index, &pair.scan2}}) {
            const ScanRecord& r = scans[static_cast<std::size_t>(index)];
            const Matrix4 m = makeScanTransform(r.rotX, r.rotY, r.rotZ, 1.0, r.x, r.y, r.z);
            printScanTransform(m);
            applyScanTransform(scan->points, m, settings.threads);
        }
    }
    pair.scan1.extent = computeExtent(pair.scan1.points, settings.threads);
    pair.scan2.extent = computeExtent(pair.scan2.points, settings.threads);
    pair.overlap = overlapOf(pair.scan1.extent, pair.scan2.extent);

    std::printf("Assigning Points to Cubes\n");
    const int32_t id1 = steps.fromScanTable ? scans[static_cast<std::size_t>(pair.scan1Index)].scanId : 1;
    const int32_t id2 = steps.fromScanTable ? scans[static_cast<std::size_t>(pair.scan2Index)].scanId : 2;
    CubeGrid grid;
    if (!buildCubeGrid(pair.overlap, settings.ZMIN, settings, grid))
        return PrepareResult::Fatal;
    pair.cubeCount = grid.cubeCount;
    // Each scan is sorted as soon as it is stamped; the console tells the steps apart.
    stampSortAndReport(grid, pair, pair.scan1, id1, settings.threads);
    stampSortAndReport(grid, pair, pair.scan2, id2, settings.threads);
    std::printf("Sorting Data\n");

    if (steps.measureInitialRms && !measureInitialRms(settings, pair, diagnostics))
        return PrepareResult::Fatal;
    return PrepareResult::Ready;
}
