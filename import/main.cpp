// tavrin_import: converts a scan (LAS, PLY, PTX, E57, XYZ/PTS text), or every scan of an
// E57 or PTX file, into the batch program's binary point files. Exit status: 0 written,
// 1 failed, 2 bad command line.

#include "import/import_options.h"
#include "import/import_run.h"
#include "import/import_summary.h"
#include "import/survey_import.h"
#include "import/survey_naming.h"

#include <cstdio>
#include <new>

namespace {

int failed(const std::string& error)
{
    std::fflush(stdout);
    std::fprintf(stderr, "tavrin_import: %s\n", error.c_str());
    return 1;
}

// The options given that the format read has no use for, as the summary lists them.
std::string unusedOptions(const ImportOptions& options, PointFormat format)
{
    std::string unused;
    const auto add = [&unused](const char* option) { unused += (unused.empty() ? "" : ", ") + std::string(option); };
    if (options.ptxScanGiven && format != PointFormat::Ptx) {
        add("--ptx-scan");
    }
    if (options.e57ScanGiven && format != PointFormat::E57) {
        add("--e57-scan");
    }
    if (options.ptx.applyPose && format != PointFormat::Ptx && format != PointFormat::E57) {
        add("--apply-pose");
    }
    return unused;
}

int runOne(const ImportOptions& options)
{
    ScanName named;
    ImportRequest request;
    request.input = options.input;
    request.output = options.output;
    request.ptx = options.ptx;
    request.e57 = options.e57;
    request.showProgress = !options.quiet;
    std::string error;
    if (!options.database.empty()) {
        if (!nameScanFromDatabase(options.database, options.selection, named, error)) {
            return failed(error);
        }
        request.output = named.path;
    }
    ImportReport report;
    if (!runImport(request, report)) {
        return failed(report.error);
    }
    if (!report.warning.empty()) {
        std::fflush(stdout);
        std::fprintf(stderr, "tavrin_import: warning: %s: %s\n", request.input.c_str(), report.warning.c_str());
    }
    if (!options.quiet) {
        SummaryContext context;
        context.input = request.input;
        context.output = request.output;
        context.named = options.database.empty() ? nullptr : &named;
        context.ptxScan = options.ptx.scan;
        context.e57Scan = options.e57.scan;
        context.poseApplied = options.ptx.applyPose;
        context.unusedOptions = unusedOptions(options, report.format);
        printSummary(stdout, context, report);
    }
    return 0;
}

int runSurvey(const ImportOptions& options)
{
    SurveyImportRequest request;
    request.input = options.input;
    request.database = options.database;
    request.zeroPad = options.selection.zeroPad;
    request.matchNames = options.matchNames;
    request.writeDatabase = options.writeDatabase;
    request.applyPose = options.ptx.applyPose;
    request.showProgress = !options.quiet;
    SurveyImportReport report;
    if (!runSurveyImport(request, report)) {
        return failed(report.error);
    }
    if (!options.quiet) {
        printSurveySummary(stdout, request, report);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    ImportOptions options;
    std::string error;
    switch (parseCommandLine(argc, argv, options, error)) {
    case CommandLine::Help:
        printUsage(stdout);
        return 0;
    case CommandLine::Bad:
        std::fprintf(stderr, "tavrin_import: %s\n", error.c_str());
        printShortUsage(stderr);
        return 2;
    case CommandLine::Run:
        break;
    }
    try {
        return options.allScans ? runSurvey(options) : runOne(options);
    } catch (const std::bad_alloc&) {
        std::fflush(stdout);
        std::fprintf(stderr, "tavrin_import: out of memory\n");
        return 1;
    }
}
