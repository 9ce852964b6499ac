#pragma once

// The files of the example survey. Each writer prints "Cannot create <path>" or
// "Cannot write <path>" on failure and returns false; text files end lines in "\n".

#include "tools/scan_sampler.h"
#include "tools/scan_setups.h"
#include "tools/survey_generator.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

/// Bytes per point record: x, y, z as little-endian IEEE doubles and 8 zero bytes.
constexpr int32_t POINT_RECORD_BYTES = 32;

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
    double gpsMaxDist = 0.0;        ///< GPSMAXDIST, metres
    int32_t dataDir = 0;            ///< DATADIR: 0 set-ups run north-south, 1 east-west
    double transX = 0.0;            ///< TRANSX, metres
    double transY = 0.0;            ///< TRANSY, metres
    double maxRange = 0.0;          ///< MAXRANGE, metres
    double box[4] = {0.0, 0.0, 0.0, 0.0};  ///< XMIN, XMAX, YMIN, YMAX, translated survey frame, metres
    double zmin = 0.0;              ///< ZMIN, metres
    double zmax = 0.0;              ///< ZMAX, metres
    PairingSettings pairing;        ///< dCX = dCY = dCZ and MINNUMPTS
    int32_t pointsPerCube = 10;     ///< NUMPPC
    double maxDistInitial = 0.5;    ///< MAXDISTINITIAL, metres
    double maxDistFinal = 0.1;      ///< MAXDISTFINAL, metres
    int32_t regsol = 2;             ///< REGSOL
};

/// A text file being written; "\n" line ends on every platform.
struct TextFileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using TextFile = std::unique_ptr<std::FILE, TextFileCloser>;

/// Creates the file, or prints "Cannot create <path>" and returns null.
TextFile createTextFile(const std::string& path);
/// Closes the file; prints "Cannot write <path>" and returns false when a write failed.
bool finishTextFile(TextFile& f, const std::string& path);
/// Prints "Wrote <path>" unless quiet; returns ok unchanged.
bool announceWritten(bool ok, const std::string& path, bool quiet);

/// Every key of the configuration after its comment lines, one "KEY value" a line.
void writeSurveyKeys(std::FILE* f, const SurveyKeys& keys);

bool writeSurveyDatabase(const std::string& path, const std::vector<ScanSetup>& scans);
bool writeConfiguration(const std::string& path, const ExampleSurveyPlan& plan,
                        const ExampleSurveyOptions& options, const PairingSettings& pairing);
bool writeTruth(const std::string& path, const std::vector<ScanSetup>& scans,
                const std::vector<int32_t>& pointCounts);
bool writeReadme(const std::string& path, const ExampleSurveyPlan& plan,
                 const ExampleSurveyOptions& options, const ExampleSurveyResult& result);

/// The command line's options beyond the basic ones, as the README repeats them
/// (" --spacing 30 --errors 0,0.5"); empty when none was given.
std::string extraOptionsText(const ExampleSurveyOptions& options);

/// Writes a binary point file block by block (one fwrite per block).
class PointFileWriter {
public:
    /// Creates the file; false (with a message) when it cannot be created.
    bool open(const std::string& path);
    /// Appends the scanner-frame coordinates of the points.
    bool append(const std::vector<ScanPoint>& points);
    /// Closes the file; false when any write failed.
    bool finish();
    int64_t bytesWritten() const { return bytes_; }

private:
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
    std::string path_;
    std::vector<unsigned char> buffer_;
    int64_t bytes_ = 0;
    bool failed_ = false;
};
