#include "import/import_summary.h"

#include <cinttypes>
#include <cmath>

namespace {

void printDrops(std::FILE* to, const ReadOutcome& outcome)
{
    static const char* const REASONS[DROP_REASON_COUNT] = {
        "not finite (NaN or infinite coordinate)",
        "no return (0 0 0 in the scan grid)",
        "unreadable (fewer than three numbers)",
        "marked invalid by the scanner",
    };
    int64_t all = 0;
    for (int64_t n : outcome.dropped) {
        all += n;
    }
    std::fprintf(to, "Points dropped:  %" PRId64 "\n", all);
    for (int32_t k = 0; k < DROP_REASON_COUNT; ++k) {
        if (outcome.dropped[static_cast<std::size_t>(k)] > 0) {
            std::fprintf(to, "  %-40s %" PRId64 "\n", REASONS[k], outcome.dropped[static_cast<std::size_t>(k)]);
        }
    }
}

void printInput(std::FILE* to, const SummaryContext& context, const ImportReport& report)
{
    if (report.format != PointFormat::Ptx) {
        std::fprintf(to, "Input:           %s (%s)\n", context.input.c_str(), pointFormatName(report.format));
        return;
    }
    std::fprintf(to, "Input:           %s (PTX, scan %i of %i, %" PRId64 " x %" PRId64 " grid, %s)\n",
                 context.input.c_str(), static_cast<int>(context.ptxScan), static_cast<int>(report.ptx.scansFound),
                 report.ptx.pose.columns, report.ptx.pose.rows, context.poseApplied ? "pose applied" : "scanner frame");
}

}  // namespace

void printSummary(std::FILE* to, const SummaryContext& context, const ImportReport& report)
{
    printInput(to, context, report);
    std::fprintf(to, "Output:          %s\n", context.output.c_str());
    if (context.named != nullptr) {
        const ScanName& n = *context.named;
        std::fprintf(to, "                 record %i of the database: ID1 %i, ID2 %i, NAME %s; ZEROPAD %i from %s\n",
                     static_cast<int>(n.record), static_cast<int>(n.id1), static_cast<int>(n.id2), n.name.c_str(),
                     static_cast<int>(n.zeroPad), n.zeroPadFrom.c_str());
    }
    const ReadOutcome& o = report.outcome;
    std::fprintf(to, "Points read:     %" PRId64 "\n", o.records);
    std::fprintf(to, "Points written:  %" PRId64 "\n", o.kept);
    printDrops(to, o);
    const CloudStats& s = report.stats;
    std::fprintf(to, "Bounding box:    x %.3f .. %.3f   y %.3f .. %.3f   z %.3f .. %.3f m\n", s.min[0], s.max[0],
                 s.min[1], s.max[1], s.min[2], s.max[2]);
    const bool fromScanner = report.format == PointFormat::Ptx && context.poseApplied;
    std::fprintf(to, "Distance:        %.3f .. %.3f m from %s (%.3f %.3f %.3f)\n", std::sqrt(s.nearestSquared),
                 std::sqrt(s.farthestSquared),
                 fromScanner ? "the scanner position of the PTX header" : "the origin of the file's frame", s.scanner.x,
                 s.scanner.y, s.scanner.z);
    if (!report.poseFile.empty()) {
        std::fprintf(to, "Scanner pose:    %s\n", report.poseFile.c_str());
    }
    if (report.format == PointFormat::Ptx && report.ptx.scansFound > 1) {
        std::fprintf(to, "Note:            the file holds %i scans; --ptx-scan K reads another\n",
                     static_cast<int>(report.ptx.scansFound));
    }
    if (!o.note.empty()) {
        std::fprintf(to, "Note:            %s\n", o.note.c_str());
    }
    if (context.ptxOptionsUnused) {
        std::fprintf(to, "Note:            --ptx-scan and --apply-pose apply to PTX files only; ignored\n");
    }
}
