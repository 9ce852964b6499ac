#pragma once

// One scanner set-up of a generated survey, and the draws that both scenes (the sea
// cliff and a terrain sample) make for their set-ups: heading errors, the true pose
// from the values the database states, and the neighbour window.

#include "tools/scan_sampler.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

/// One scanner set-up: the database record and the truth behind it.
struct ScanSetup {
    int32_t id1 = 0;           ///< ID1
    int32_t id2 = 0;           ///< ID2
    std::string name;          ///< NAME, e.g. "S1"
    int64_t eastingE4 = 0;     ///< database X in units of 0.1 mm
    int64_t northingE4 = 0;    ///< database Y in units of 0.1 mm
    int64_t elevationE4 = 0;   ///< database Z (GPS point) in units of 0.1 mm
    int64_t levelXMicro = 0;   ///< A1, microdegrees
    int64_t levelYMicro = 0;   ///< A2, microdegrees
    int64_t headingMicro = 0;  ///< true heading, microdegrees
    int64_t errorMicro = 0;    ///< heading error, microdegrees; database A3 = heading + error
    ScanPose pose;             ///< true pose in the translated survey frame
};

/// Database value of the scanner-origin height above the GPS point.
constexpr double SCANNER_ABOVE_GPS = 0.29;
/// The batch program's degree-to-radian factor (pi taken as 3.14159265).
constexpr double BATCH_DEG_TO_RAD = 3.14159265 / 180.0;

/// Microdegrees (or any whole unit) uniform in [lo, hi].
int64_t microIn(std::mt19937& gen, int64_t lo, int64_t hi);

/// Heading errors uniform in +-maxMicro; at least one well above half of it, so that
/// every survey has a clearly wrong scan.
void drawHeadingErrors(std::mt19937& gen, int64_t maxMicro, std::vector<ScanSetup>& scans);

/// Replaces the drawn errors by the given ones (degrees, one per scan, in order).
void setHeadingErrors(const std::vector<double>& errorsDeg, std::vector<ScanSetup>& scans);

/// Largest heading error in microdegrees that the survey can hold: the drawn range or
/// the largest given error, whichever is larger, at most 10 degrees. Headings are drawn
/// this far from 0 and 360 degrees so that, for errors up to 10 degrees, the database
/// heading needs no wrapping.
int64_t headingMargin(double maxErrorDeg, const std::vector<double>& errorsDeg);

/// The true pose in the translated survey frame, from the values exactly as the
/// database states them (so the batch program's reading of them is the truth).
ScanPose truePose(const ScanSetup& s, double transX, double transY);

/// GPSMAXDIST: half-way between the farthest neighbour and the nearest scan after next,
/// in whole metres, so that each scan finds its neighbour and not the one beyond.
double neighbourWindow(const std::vector<ScanSetup>& scans);

/// Rz(a3) Ry(a2) Rx(a1), row-major, angles in radians (the batch program's scan matrix).
void scanRotation(double a1, double a2, double a3, double* m);
