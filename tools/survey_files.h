#pragma once

// The files of the example survey. Each writer prints "Cannot create <path>" or
// "Cannot write <path>" on failure and returns false; text files end lines in "\n".

#include "tools/scan_sampler.h"
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

bool writeSurveyDatabase(const std::string& path, const ExampleSurveyPlan& plan);
bool writeConfiguration(const std::string& path, const ExampleSurveyPlan& plan,
                        const ExampleSurveyOptions& options, const PairingSettings& pairing);
bool writeTruth(const std::string& path, const ExampleSurveyPlan& plan,
                const std::vector<int32_t>& pointCounts);
bool writeReadme(const std::string& path, const ExampleSurveyPlan& plan,
                 const ExampleSurveyOptions& options, const ExampleSurveyResult& result);

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
