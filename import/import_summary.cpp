#include "import/import_summary.h"

#include "import/text_fields.h"

#include <cinttypes>
#include <cmath>

namespace {

int64_t droppedIn(const ReadOutcome& outcome)
{
    int64_t all = 0;
    for (int64_t n : outcome.dropped) {
        all += n;
    }
    return all;
}

void printDrops(std::FILE* to, const ReadOutcome& outcome)
{
    static const char* const REASONS[DROP_REASON_COUNT] = {
        "not finite (NaN or infinite coordinate)",
        "no return (0 0 0 in the scan grid)",
        "unreadable (fewer than three numbers)",
        "marked invalid by the scanner",
    };
    std::fprintf(to, "Points dropped:  %" PRId64 "\n", droppedIn(outcome));
    for (int32_t k = 0; k < DROP_REASON_COUNT; ++k) {
        if (outcome.dropped[static_cast<std::size_t>(k)] > 0) {
            std::fprintf(to, "  %-40s %" PRId64 "\n", REASONS[k], outcome.dropped[static_cast<std::size_t>(k)]);
        }
    }
}

// One line per scan of an E57 file: its number, name and records.
void printE57Scans(std::FILE* to, const E57Contents& contents)
{
    for (std::size_t k = 0; k < contents.scans.size(); ++k) {
        const E57Scan& scan = contents.scans[k];
        std::fprintf(to, "%s%i %s (%" PRId64 " records%s)\n", k == 0 ? "Scans in file:   " : "                 ",
                     static_cast<int>(k + 1), scan.name.empty() ? "(no name)" : shownText(scan.name).c_str(),
                     scan.records, scan.hasPose ? "" : ", no pose");
    }
}

void printInput(std::FILE* to, const SummaryContext& context, const ImportReport& report)
{
    const char* frame = context.poseApplied ? "pose applied" : "scanner frame";
    if (report.format == PointFormat::Ptx) {
        std::fprintf(to, "Input:           %s (PTX, scan %i of %i, %" PRId64 " x %" PRId64 " grid, %s)\n",
                     context.input.c_str(), static_cast<int>(context.ptxScan), static_cast<int>(report.ptx.scansFound),
                     report.ptx.pose.columns, report.ptx.pose.rows, frame);
    } else if (report.format == PointFormat::E57) {
        std::fprintf(to, "Input:           %s (E57, %s of %i, %s)\n", context.input.c_str(),
                     e57ScanLabel(report.e57, context.e57Scan).c_str(), static_cast<int>(report.e57.scans.size()),
                     frame);
        printE57Scans(to, report.e57);
    } else {
        std::fprintf(to, "Input:           %s (%s)\n", context.input.c_str(), pointFormatName(report.format));
    }
}

// The settings the batch program needs for the point files and database written.
void printRunAdvice(std::FILE* to, const SurveyImportRequest& request, const SurveyImportReport& report)
{
    if (report.databaseWritten) {
        std::fprintf(to,
                     "Run it with:     SCANTRANSFORM 0, TRANSX %.1f, TRANSY %.1f in ipcreg.txt (the mean of the\n"
                     "                 scanner positions rounded to whole kilometres)\n",
                     report.transX, report.transY);
    } else if (request.applyPose) {
        std::fprintf(to,
                     "Run it with:     SCANTRANSFORM 1, TRANSX 0, TRANSY 0 in ipcreg.txt (the points are in "
                     "the file's frame)\n");
    } else {
        std::fprintf(to,
                     "Run it with:     SCANTRANSFORM 0 in ipcreg.txt (the points are in each scanner's own "
                     "frame)\n");
    }
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
    const bool posed = report.format == PointFormat::Ptx || report.format == PointFormat::E57;
    std::fprintf(to, "Distance:        %.3f .. %.3f m from %s (%.3f %.3f %.3f)\n", std::sqrt(s.nearestSquared),
                 std::sqrt(s.farthestSquared),
                 !posed                    ? "the origin of the file's frame"
                     : context.poseApplied ? "the scanner position of the scan's pose"
                                           : "the scanner, the origin of its own frame",
                 s.scanner.x, s.scanner.y, s.scanner.z);
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
    if (report.format == PointFormat::E57 && report.e57.scans.size() > 1) {
        std::fprintf(to, "Note:            the file holds %i scans; --e57-scan K reads another, --all-scans all\n",
                     static_cast<int>(report.e57.scans.size()));
    }
    if (!context.unusedOptions.empty()) {
        std::fprintf(to, "Note:            %s ignored (the input is %s)\n", context.unusedOptions.c_str(),
                     pointFormatName(report.format));
    }
}

void printSurveySummary(std::FILE* to, const SurveyImportRequest& request, const SurveyImportReport& report)
{
    std::fprintf(to, "Input:           %s (%s, %i scans, %s)\n", request.input.c_str(), pointFormatName(report.format),
                 static_cast<int>(report.scansInFile), request.applyPose ? "pose applied" : "scanner frame");
    const ScanName& first = report.scans.front().target;
    if (report.databaseWritten) {
        std::fprintf(to, "Database:        %s written from the scans' poses (%i records)\n", request.database.c_str(),
                     static_cast<int>(report.scans.size()));
    } else {
        std::fprintf(to, "Database:        %s, %s\n", request.database.c_str(),
                     request.matchNames ? "each record finds its scan by NAME" : "scan K to record K");
    }
    std::fprintf(to, "                 ZEROPAD %i from %s\n", static_cast<int>(first.zeroPad),
                 first.zeroPadFrom.c_str());
    int64_t written = 0;
    int64_t dropped = 0;
    for (const ConvertedScan& c : report.scans) {
        std::fprintf(to, "  scan %3i %-16s -> %s  %" PRId64 " points, %" PRId64 " dropped\n", static_cast<int>(c.scan),
                     c.fileName.empty() ? "(no name)" : shownText(c.fileName).c_str(), c.target.path.c_str(),
                     c.outcome.kept, droppedIn(c.outcome));
        written += c.outcome.kept;
        dropped += droppedIn(c.outcome);
    }
    std::fprintf(to, "Points written:  %" PRId64 " in %i files, %" PRId64 " dropped\n", written,
                 static_cast<int>(report.scans.size()), dropped);
    std::fprintf(to, "Scanner poses:   <point file without .bxyz>.pose.txt beside each point file\n");
    for (int32_t scan : report.unmatched) {
        std::fprintf(to, "Note:            scan %i of the file is named by no record; it was left out\n",
                     static_cast<int>(scan));
    }
    printRunAdvice(to, request, report);
}
