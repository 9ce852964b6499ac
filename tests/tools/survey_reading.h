#pragma once

// Reading back the example survey's files in the tests, independently of the
// generator's own code: text by lines, points by bytes, transforms with std::sin/cos.

#include "tests/support/test_files.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct ExampleSurveyOptions;

/// Generates the survey of `options` three times into fresh folders, twice with its
/// seed and once with seed 2; expects the first two byte for byte alike and every file
/// but the README to differ with the other seed. Returns the number of files.
int32_t sameSeedSameBytes(ExampleSurveyOptions options);

std::vector<std::string> readLines(const std::string& path);  ///< split at "\n", no trailing empty line
std::vector<std::string> splitCommas(const std::string& line);

/// One record of the survey database as the batch program reads it.
struct DatabaseRecord {
    double x = 0.0;   ///< X, metres
    double y = 0.0;   ///< Y
    double z = 0.0;   ///< Z of the GPS point
    double a1 = 0.0;  ///< degrees
    double a2 = 0.0;
    double a3 = 0.0;
    int32_t id1 = 0;
    int32_t id2 = 0;
    std::string name;
};

std::vector<DatabaseRecord> readDatabase(const std::string& path);

/// Heading error of each scan from truth.csv, degrees, in file order.
std::vector<double> readHeadingErrors(const std::string& path);

using Point3 = std::array<double, 3>;

/// x, y, z of every 32-byte little-endian record.
std::vector<Point3> readPointFile(const std::string& path);

/// Points of a scan moved into the translated survey frame as the batch program does:
/// Rz(a3) Ry(a2) Rx(a1) p + (X - transX, Y - transY, Z + 0.29), angles in degrees times
/// 3.14159265 / 180.
std::vector<Point3> toSurveyFrame(const std::vector<Point3>& scan, const DatabaseRecord& r, double a3Degrees,
                                  double transX, double transY);

/// Point-to-plane RMS of `query` against `reference` (plane through the three nearest
/// reference points, pairs farther than maxDist dropped, only query points with
/// z > zmin), brute force over a 1 m bucket grid. Sets pairs to the pair count.
double pointToPlaneRms(const std::vector<Point3>& query, const std::vector<Point3>& reference, double zmin,
                       double maxDist, int32_t& pairs);
