#include "import/import_run.h"

#include "import/bxyz_writer.h"
#include "import/las_reader.h"
#include "import/ply_reader.h"
#include "import/pose_file.h"
#include "batch/replacement_file.h"
#include "import/xyz_reader.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

bool sameFile(const std::string& a, const std::string& b)
{
    std::error_code ec;
    return fs::exists(b, ec) && fs::equivalent(a, b, ec) && !ec;
}

bool checkTargets(const ImportRequest& request, const std::string& poseFile, ImportReport& report)
{
    for (const std::string& target : {request.output, poseFile}) {
        if (!target.empty() && !checkOutputTarget(request.input, target, report.error)) {
            return false;
        }
    }
    return true;
}

ReadOutcome readWith(PointFormat format, FileSource& source, const ImportRequest& request, PointSink& sink,
                     ImportReport& report)
{
    switch (format) {
    case PointFormat::Las:
        return readLas(source, sink);
    case PointFormat::Ply:
        return readPly(source, sink);
    case PointFormat::Ptx:
        return readPtx(source, request.ptx, sink, report.ptx);
    case PointFormat::E57:
        return readE57(source, request.e57, sink, report.e57);
    case PointFormat::Xyz:
        return readXyz(source, sink);
    default:
        break;
    }
    return ReadOutcome();
}

bool writePose(const ImportRequest& request, const std::string& path, ImportReport& report)
{
    ReplacementFile file;
    if (!file.open(path, report.error)) {
        return false;
    }
    if (report.format == PointFormat::Ptx) {
        putPtxPose(file.file(), request.input, request.ptx.scan, report.ptx, request.ptx.applyPose);
    } else {
        putE57Pose(file.file(), request.input, request.e57.scan, report.e57, request.e57.applyPose);
    }
    return file.commit(report.error);
}

}  // namespace

bool checkOutputTarget(const std::string& input, const std::string& target, std::string& error)
{
    std::error_code ec;
    if (sameFile(input, target)) {
        error = "the output " + target + " is the input file itself; choose another output name";
        return false;
    }
    if (fs::is_directory(target, ec)) {
        error = "the output " + target + " is a folder";
        return false;
    }
    return true;
}

bool runImport(const ImportRequest& request, ImportReport& report)
{
    FileSource source;
    std::string why;
    if (!source.open(request.input, why)) {
        report.error = "cannot read " + request.input + ": " + why;
        return false;
    }
    const SniffResult sniffed = sniffFormat(source, request.input);
    report.format = sniffed.format;
    report.warning = sniffed.warning;
    if (!sniffed.refusal.empty()) {
        report.error = request.input + ": " + sniffed.refusal;
        return false;
    }
    const bool posed = sniffed.format == PointFormat::Ptx || sniffed.format == PointFormat::E57;
    const std::string poseFile = posed ? poseFileName(request.output) : std::string();
    if (!checkTargets(request, poseFile, report)) {
        return false;
    }
    BxyzWriter writer;
    if (!writer.open(request.output, report.error)) {
        return false;
    }
    {
        WritingSink sink(writer, report.stats, source.size(), request.showProgress);
        report.outcome = readWith(sniffed.format, source, request, sink, report);
    }
    if (!report.outcome.ok) {
        writer.discard();
        report.error = report.outcome.sinkStopped
            ? "writing the temporary output beside " + request.output + " failed (disk full or no longer writable?)"
            : source.failed() ? "a read error stopped reading " + request.input
                              : request.input + ": " + report.outcome.error;
        return false;
    }
    if (report.outcome.kept == 0) {
        writer.discard();
        report.error = request.input + ": no point is left to write (" + std::to_string(report.outcome.records)
            + " records read, all dropped); nothing was written";
        return false;
    }
    if (!poseFile.empty() && !writePose(request, poseFile, report)) {
        writer.discard();
        return false;
    }
    report.poseFile = poseFile;
    return writer.commit(report.error);
}
