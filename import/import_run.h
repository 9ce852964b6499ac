#pragma once
// One conversion: input file in, .bxyz out, with everything the summary reports.
// Prints nothing but the progress line; the caller prints the outcome.

#include "import/cloud_stats.h"
#include "import/e57_reader.h"
#include "import/format_sniffing.h"
#include "import/point_sink.h"
#include "import/ptx_reader.h"
#include "import/writing_sink.h"

#include <string>

struct ImportRequest {
    std::string input;         ///< the file to read
    std::string output;        ///< the .bxyz to write (replaced only when complete)
    PtxChoice ptx;             ///< which PTX scan, and whether its pose is applied
    bool showProgress = true;  ///< a progress line on stderr for inputs of about 10 M points or more
    E57Choice e57;             ///< which E57 scan, and whether its pose is applied
};

struct ImportReport {
    PointFormat format = PointFormat::Unknown;
    ReadOutcome outcome;   ///< the reader's account of the records
    CloudStats stats;      ///< of the points written
    PtxScanInfo ptx;       ///< PTX only: the scan header and how many scans the file holds
    E57Contents e57;       ///< E57 only: every scan of the file, its name and pose
    std::string poseFile;  ///< PTX and E57: the side file written
    std::string warning;   ///< read all the same, but the user should hear this
    std::string error;     ///< why nothing was written, when runImport returns false
};

/// false with `report.error` set when nothing was written (any old output untouched).
bool runImport(const ImportRequest& request, ImportReport& report);

/// false with `error` set when `target` is the input itself (by any path) or a folder.
bool checkOutputTarget(const std::string& input, const std::string& target, std::string& error);
