#include "import/import_run.h"

#include "import/bxyz_writer.h"
#include "import/las_reader.h"
#include "import/ply_reader.h"
#include "import/pose_file.h"
#include "import/xyz_reader.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// A text point line takes about this many bytes; it sizes the progress decision
// for inputs that announce no count.
constexpr uint64_t TEXT_BYTES_PER_POINT = 30;

// Writes what the readers keep, gathers the statistics and shows the progress.
class WritingSink : public PointSink {
public:
    WritingSink(BxyzWriter& writer, CloudStats& stats, uint64_t inputBytes, bool showProgress)
        : writer_(writer), stats_(stats), inputBytes_(inputBytes), allowed_(showProgress)
    {
        show_ = allowed_ && inputBytes_ / TEXT_BYTES_PER_POINT >= static_cast<uint64_t>(PROGRESS_POINTS);
    }

    ~WritingSink() override
    {
        if (shownPercent_ >= 0) {
            std::fprintf(stderr, "\n");
        }
    }

    void setScannerPosition(const ImportedPoint& scanner) override { stats_.scanner = scanner; }

    void expectRecords(int64_t records) override { show_ = allowed_ && records >= PROGRESS_POINTS; }

    void progress(uint64_t bytesRead) override
    {
        if (!show_ || inputBytes_ == 0) {
            return;
        }
        const int percent = static_cast<int>(bytesRead >= inputBytes_ ? 100 : bytesRead * 100 / inputBytes_);
        if (percent != shownPercent_) {
            shownPercent_ = percent;
            std::fprintf(stderr, "\rReading: %3i%%", percent);
            std::fflush(stderr);
        }
    }

    bool take(const ImportedPoint* points, std::size_t count) override
    {
        addToStats(stats_, points, count);
        return writer_.write(points, count);
    }

private:
    BxyzWriter& writer_;
    CloudStats& stats_;
    uint64_t inputBytes_;
    bool allowed_;
    bool show_ = false;
    int shownPercent_ = -1;
};

bool sameFile(const std::string& a, const std::string& b)
{
    std::error_code ec;
    return fs::exists(b, ec) && fs::equivalent(a, b, ec) && !ec;
}

bool checkTargets(const ImportRequest& request, const std::string& poseFile, ImportReport& report)
{
    for (const std::string& target : {request.output, poseFile}) {
        if (target.empty()) {
            continue;
        }
        std::error_code ec;
        if (sameFile(request.input, target)) {
            report.error = "the output " + target + " is the input file itself; choose another output name";
            return false;
        }
        if (fs::is_directory(target, ec)) {
            report.error = "the output " + target + " is a folder";
            return false;
        }
    }
    return true;
}

ReadOutcome readWith(PointFormat format, FileSource& source, const PtxChoice& ptx, PointSink& sink, PtxScanInfo& info)
{
    switch (format) {
    case PointFormat::Las:
        return readLas(source, sink);
    case PointFormat::Ply:
        return readPly(source, sink);
    case PointFormat::Ptx:
        return readPtx(source, ptx, sink, info);
    case PointFormat::Xyz:
        return readXyz(source, sink);
    default:
        break;
    }
    return ReadOutcome();
}

}  // namespace

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
    if (!sniffed.refusal.empty()) {
        report.error = request.input + ": " + sniffed.refusal;
        return false;
    }
    const std::string poseFile = sniffed.format == PointFormat::Ptx ? poseFileName(request.output) : std::string();
    if (!checkTargets(request, poseFile, report)) {
        return false;
    }
    BxyzWriter writer;
    if (!writer.open(request.output, report.error)) {
        return false;
    }
    {
        WritingSink sink(writer, report.stats, source.size(), request.showProgress);
        report.outcome = readWith(sniffed.format, source, request.ptx, sink, report.ptx);
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
    if (!poseFile.empty()
        && !writePoseFile(poseFile, request.input, request.ptx.scan, report.ptx, request.ptx.applyPose, report.error)) {
        writer.discard();
        return false;
    }
    report.poseFile = poseFile;
    return writer.commit(report.error);
}
