#include "batch/runs/matrices_export.h"

#include "batch/engine/transform.h"
#include "batch/file_ptr.h"
#include "batch/inputs/point_files.h"
#include "batch/inputs/survey_database.h"
#include "batch/outputs/number_text.h"
#include "batch/outputs/output_file.h"
#include "batch/outputs/output_names.h"
#include "batch/outputs/point_lines.h"
#include "batch/runs/run_state.h"

#include <algorithm>
#include <cstdio>

namespace {

void reportNameTooShort(const std::string& fileName, std::FILE* log)
{
    std::printf("No output file name can be formed from the scan file name %s \n", fileName.c_str());
    if (log != nullptr)
        std::fprintf(log, "No output file name can be formed from the scan file name %s \n", fileName.c_str());
}

bool writeMatrixFile(const std::string& path, const Matrix4& m, std::FILE* log)
{
    OutputFile out(path, log);
    if (!out.isOpen())
        return false;
    for (const auto& row : m)
        std::fprintf(out.get(), "%.10lf %.10lf %.10lf %.10lf \n", row[0], row[1], row[2], row[3]);
    return out.close();
}

// One line of an export, "%lf %lf %lf\n", at `at`; returns its end.
char* writeExportLine(char* at, const CubePoint& p)
{
    for (double v : {p.x, p.y}) {
        at = writeFixed6(at, v);
        *at++ = ' ';
    }
    at = writeFixed6(at, p.z);
    *at++ = '\n';
    return at;
}

// Points of an export formatted at a time, per thread.
constexpr int64_t EXPORT_BLOCK_POINTS = int64_t(1) << 16;

bool writeExportFile(const std::string& path, const std::vector<CubePoint>& points, int32_t threads, std::FILE* log)
{
    OutputFile out(path, log);
    if (!out.isOpen())
        return false;
    std::fprintf(out.get(), "#X,Y,Z\n");
    if (threads > 1) {
        // Built without printf, a block of points at a time: a scan has millions of lines.
        LineChunks chunks;
        const int64_t n = static_cast<int64_t>(points.size()), block = EXPORT_BLOCK_POINTS * threads;
        for (int64_t first = 0; first < n; first += block) {
            const CubePoint* from = points.data() + first;
            writeLinesInPieces(out.get(), std::min(block, n - first), threads, chunks,
                               [from](int64_t i, char* at) { return writeExportLine(at, from[i]); });
        }
        return out.close();
    }
    std::string line;
    for (const CubePoint& p : points) {
        // "%lf %lf %lf\n", built without printf: a scan has millions of lines.
        line.clear();
        appendFixed6(line, p.x);
        line += ' ';
        appendFixed6(line, p.y);
        line += ' ';
        appendFixed6(line, p.z);
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), out.get());
    }
    return out.close();
}

}  // namespace

RunStatus writeTransformMatrices(const RunState& run, const std::vector<ScanRecord>& scans)
{
    std::printf("Writing Transform Matricies for %i scans....\n", static_cast<int32_t>(scans.size()));
    RunStatus status = RunStatus::Ok;
    for (const ScanRecord& s : scans) {
        const std::string path = matrixFileName(s.fileName);
        if (path.empty()) {
            reportNameTooShort(s.fileName, run.logFile);
            status = worse(status, RunStatus::Failed);
            continue;
        }
        const Matrix4 m = makeScanTransform(s.rotX, s.rotY, s.rotZ, 1.0, s.x, s.y, s.z);
        if (!writeMatrixFile(path, m, run.logFile))
            status = worse(status, RunStatus::Failed);
    }
    return status;
}

RunStatus exportGeoreferencedScans(const RunState& run, const std::vector<ScanRecord>& scans, int32_t threads)
{
    std::printf("Preparing data for export.... \n");
    RunStatus status = RunStatus::Ok;
    std::vector<CubePoint> points;  // reused from scan to scan
    for (const ScanRecord& s : scans) {
        const std::string path = exportFileName(s.fileName);
        if (path.empty()) {
            reportNameTooShort(s.fileName, run.logFile);
            status = worse(status, RunStatus::Failed);
            continue;
        }
        // A scan that cannot be read leaves an export of an earlier run as it was.
        if (reportScannerFormat(s.fileName, run.logFile)) {
            status = worse(status, RunStatus::Incomplete);
            continue;
        }
        const bool opens = FilePtr(std::fopen(s.fileName.c_str(), "rb")) != nullptr;
        if (readBinaryPoints(s.fileName, points) == 0 && !opens) {
            if (run.logFile != nullptr)
                std::fprintf(run.logFile,
                             "Unable to open files: %s .Please check your input file for an error here. \n",
                             s.fileName.c_str());
            status = worse(status, RunStatus::Incomplete);
            continue;
        }
        if (!points.empty() && looksLikeText(s.fileName)) {
            // Text read as binary records would export nonsense coordinates.
            std::printf("The point file %s holds text, not binary points: it is not exported. \n", s.fileName.c_str());
            if (run.logFile != nullptr)
                std::fprintf(run.logFile, "The point file %s holds text, not binary points: it is not exported. \n",
                             s.fileName.c_str());
            status = worse(status, RunStatus::Incomplete);
            continue;
        }
        if (!points.empty()) {
            const Matrix4 m = makeScanTransform(s.rotX, s.rotY, s.rotZ, 1.0, s.x, s.y, s.z);
            printScanTransform(m);
            applyScanTransform(points, m, threads);
        }
        if (!writeExportFile(path, points, threads, run.logFile))
            status = worse(status, RunStatus::Failed);
    }
    return status;
}
