// tavrin_import: converts one scan (LAS, PLY, PTX, XYZ/PTS text) into the batch
// program's binary point file. Exit status: 0 written, 1 failed, 2 bad command line.

#include "import/import_options.h"
#include "import/import_run.h"
#include "import/import_summary.h"
#include "import/survey_naming.h"

#include <cstdio>
#include <new>

namespace {

int run(const ImportOptions& options)
{
    ScanName named;
    ImportRequest request;
    request.input = options.input;
    request.output = options.output;
    request.ptx = options.ptx;
    request.showProgress = !options.quiet;
    std::string error;
    if (!options.database.empty()) {
        if (!nameScanFromDatabase(options.database, options.selection, named, error)) {
            std::fflush(stdout);
            std::fprintf(stderr, "tavrin_import: %s\n", error.c_str());
            return 1;
        }
        request.output = named.path;
    }
    ImportReport report;
    if (!runImport(request, report)) {
        std::fflush(stdout);
        std::fprintf(stderr, "tavrin_import: %s\n", report.error.c_str());
        return 1;
    }
    if (!options.quiet) {
        SummaryContext context;
        context.input = request.input;
        context.output = request.output;
        context.named = options.database.empty() ? nullptr : &named;
        context.ptxScan = options.ptx.scan;
        context.poseApplied = options.ptx.applyPose;
        context.ptxOptionsUnused = report.format != PointFormat::Ptx && (options.ptxScanGiven || options.ptx.applyPose);
        printSummary(stdout, context, report);
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
        return run(options);
    } catch (const std::bad_alloc&) {
        std::fflush(stdout);
        std::fprintf(stderr, "tavrin_import: out of memory\n");
        return 1;
    }
}
