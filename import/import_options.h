#pragma once
// The command line of tavrin_import.

#include "import/e57_reader.h"
#include "import/ptx_reader.h"
#include "import/survey_naming.h"

#include <cstdio>
#include <string>

struct ImportOptions {
    std::string input;           ///< the file to convert
    std::string output;          ///< --out, empty when the database names the output
    std::string database;        ///< --database, empty with --out
    ScanSelection selection;     ///< --record / --scan-id / --zeropad
    PtxChoice ptx;               ///< --ptx-scan / --apply-pose
    E57Choice e57;               ///< --e57-scan / --apply-pose
    bool ptxScanGiven = false;   ///< --ptx-scan was on the command line
    bool e57ScanGiven = false;   ///< --e57-scan was on the command line
    bool allScans = false;       ///< --all-scans: every scan of the file to its database record
    bool matchNames = false;     ///< --match-names: records found by the scans' names
    bool writeDatabase = false;  ///< --write-database: the database written from the poses
    bool quiet = false;          ///< --quiet: no progress, no summary
};

enum class CommandLine { Run, Help, Bad };

/// Bad with `error` set for an unknown option, a missing or malformed value, or a
/// combination that cannot be carried out.
CommandLine parseCommandLine(int argc, const char* const* argv, ImportOptions& options, std::string& error);

/// The whole help text.
void printUsage(std::FILE* to);

/// The two usage lines and where to find the rest, after a bad command line.
void printShortUsage(std::FILE* to);
