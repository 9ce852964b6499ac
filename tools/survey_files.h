#pragma once

// The files of the example survey. Each writer prints "Cannot create <path>" or
// "Cannot write <path>" on failure and returns false; text files end lines in "\n".

#include "batch/replacement_file.h"
#include "tools/e57_file_writer.h"
#include "tools/scan_file_writer.h"
#include "tools/scan_sampler.h"
#include "tools/scan_setups.h"
#include "tools/survey_generator.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

/// "<base>_<ID1 padded>_<ID2 padded>_<name>.bxyz"; ids below 10 get "00", 10..99 "0".
std::string scanFileName(const std::string& base, int32_t id1, int32_t id2, const std::string& name);

/// Values of the configuration that depend on the generated points.
struct PairingSettings {
    double cubeSize = 1.0;    ///< dCX = dCY = dCZ, metres
    int32_t minPairs = 1000;  ///< MINNUMPTS
    int32_t fewestPairs = 0;  ///< estimated pairs of the weakest neighbour pair (comment only)
};

/// The keys of the configuration that differ between surveys; the others are the same
/// for every generated survey.
struct SurveyKeys {
    double gpsMaxDist = 0.0;               ///< GPSMAXDIST, metres
    int32_t dataDir = 0;                   ///< DATADIR: 0 set-ups run north-south, 1 east-west
    double transX = 0.0;                   ///< TRANSX, metres
    double transY = 0.0;                   ///< TRANSY, metres
    double maxRange = 0.0;                 ///< MAXRANGE, metres
    double box[4] = {0.0, 0.0, 0.0, 0.0};  ///< XMIN, XMAX, YMIN, YMAX, translated survey frame, metres
    double zmin = 0.0;                     ///< ZMIN, metres
    double zmax = 0.0;                     ///< ZMAX, metres
    PairingSettings pairing;               ///< dCX = dCY = dCZ and MINNUMPTS
    int32_t pointsPerCube = 10;            ///< NUMPPC
    double maxDistInitial = 0.5;           ///< MAXDISTINITIAL, metres
    double maxDistFinal = 0.1;             ///< MAXDISTFINAL, metres
    int32_t regsol = 2;                    ///< REGSOL
};

/// A text file being written; "\n" line ends on every platform. It replaces an older
/// file of its name only once complete.
using TextFile = ReplacementFile;

/// Creates the file, or prints "Cannot create <path>" and returns one that is not open.
TextFile createTextFile(const std::string& path);
/// Closes the file; prints "Cannot write <path>" and returns false when a write failed.
bool finishTextFile(TextFile& f, const std::string& path);
/// Prints "Wrote <path>" unless quiet; returns ok unchanged.
bool announceWritten(bool ok, const std::string& path, bool quiet);

/// Every key of the configuration after its comment lines, one "KEY value" a line.
void writeSurveyKeys(std::FILE* f, const SurveyKeys& keys);

bool writeSurveyDatabase(const std::string& path, const std::vector<ScanSetup>& scans);
bool writeConfiguration(const std::string& path, const ExampleSurveyPlan& plan, const ExampleSurveyOptions& options,
                        const PairingSettings& pairing);
bool writeTruth(const std::string& path, const std::vector<ScanSetup>& scans, const std::vector<int32_t>& pointCounts);
bool writeReadme(const std::string& path, const ExampleSurveyPlan& plan, const ExampleSurveyOptions& options,
                 const ExampleSurveyResult& result);

/// The command line's options beyond the basic ones, as the README repeats them
/// (" --spacing 30 --errors 0,0.5"); empty when none was given.
std::string extraOptionsText(const ExampleSurveyOptions& options);

/// A point file of one scan.
struct ScanOutput {
    std::string path;                        ///< where it goes
    PointFormat format = PointFormat::Bxyz;  ///< what it holds
};

/// The files of the scan at `index` (database order): the .bxyz that the database names
/// when bxyz is among the formats, then "<NAME>.ply" or "<NAME>.las" when PLY or LAS is,
/// those formats taken in turn scan by scan.
std::vector<ScanOutput> scanOutputs(const ExampleSurveyOptions& options, const ScanSetup& setup, int32_t index);

/// The README lines that describe the point files the formats give.
void writeScanFileLines(std::FILE* f, const ExampleSurveyOptions& options);

/// The README lines that name the survey's files: the database, the point files, the
/// settings (with their TRANSX and TRANSY) and the truth.
void writeFileListLines(std::FILE* f, const ExampleSurveyOptions& options, double transX, double transY);

/// The survey as one E57 file, "<outDir>/<name>.e57", when e57 is among the formats:
/// each scan in the scanner's frame, with the pose its database record states (the
/// surveyed heading, error included), as 0.1 mm scaled integers.
class SurveyE57File {
public:
    /// Creates the file when the formats ask for it; false (with a message) when it cannot be.
    bool open(const ExampleSurveyOptions& options);
    bool wanted() const { return wanted_; }
    /// Starts the scan of `setup`.
    bool beginScan(const ScanSetup& setup);
    bool append(const std::vector<ScanPoint>& points) { return writer_.append(points); }
    bool endScan() { return writer_.endScan(); }
    /// Writes the rest, adds the file to the result's scan files and says so unless quiet.
    bool finish(ExampleSurveyResult& result, bool quiet);

private:
    E57FileWriter writer_;
    std::string path_;
    int32_t scans_ = 0;
    bool wanted_ = false;
};

/// The pose of a set-up as its database record states it: R = Rz(A3) Ry(A2) Rx(A1) with the
/// database's angles (heading error included), translation (X, Y, Z + 0.29), full coordinates.
E57ScanPose databasePose(const ScanSetup& setup);

/// Writes the same points into every file of one scan, and into the survey's E57 file.
class ScanFiles {
public:
    /// Creates every file and starts the scan of `setup` in `survey` when that is wanted;
    /// false (with a message) when one cannot be created.
    bool open(const std::vector<ScanOutput>& outputs, SurveyE57File* survey = nullptr,
              const ScanSetup* setup = nullptr);
    /// Appends the points to every file; false once any write failed.
    bool append(const std::vector<ScanPoint>& points);
    /// Finishes every file; false (with a message) when any failed.
    bool finish();
    /// Prints "Wrote <path> (<points> points, <bytes> bytes)" for every file unless quiet.
    void announce(int32_t points, bool quiet) const;
    /// The files, in the order given to open().
    const std::vector<ScanOutput>& outputs() const { return outputs_; }

private:
    std::vector<ScanOutput> outputs_;
    std::vector<ScanFileWriter> writers_;
    SurveyE57File* survey_ = nullptr;  ///< the survey's E57 file, when one is written
};
