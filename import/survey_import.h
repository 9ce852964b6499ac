#pragma once
// The whole survey in one command: every scan of an E57 or PTX file converted to the
// point file of its survey database record, and the database written from the scans'
// poses when there is none yet. Nothing is put in place unless every scan converted:
// the point files, their pose files and the database wait under temporary names until
// the last scan is read.

#include "import/cloud_stats.h"
#include "import/point_sink.h"
#include "import/survey_naming.h"

#include "batch/point_formats.h"

#include <cstdint>
#include <string>
#include <vector>

struct SurveyImportRequest {
    std::string input;           ///< the E57 or PTX file
    std::string database;        ///< the survey database
    int32_t zeroPad = -1;        ///< --zeropad, -1 when not given
    bool matchNames = false;     ///< records found by NAME, not scan K to record K
    bool writeDatabase = false;  ///< write the database from the poses; it must not exist
    bool applyPose = false;      ///< points moved into the file's frame
    bool showProgress = true;
};

struct ConvertedScan {
    int32_t scan = 0;      ///< 1-based scan of the file
    std::string fileName;  ///< the scan's name in the file; empty when it has none
    ScanName target;       ///< the database record and point file it went to
    ReadOutcome outcome;   ///< the reader's account of its records
    CloudStats stats;      ///< of the points written
    std::string poseFile;  ///< its pose side file
};

struct SurveyImportReport {
    PointFormat format = PointFormat::Unknown;
    int32_t scansInFile = 0;
    std::vector<ConvertedScan> scans;  ///< in the order of the database's records
    std::vector<int32_t> unmatched;    ///< --match-names: scans of the file no record names
    bool databaseWritten = false;      ///< the database was written from the poses
    double transX = 0.0;               ///< advised TRANSX, metres, when the database was written
    double transY = 0.0;               ///< advised TRANSY
    std::string error;                 ///< why nothing was written, when runSurveyImport returns false
};

/// false with `report.error` set when nothing was written.
bool runSurveyImport(const SurveyImportRequest& request, SurveyImportReport& report);
