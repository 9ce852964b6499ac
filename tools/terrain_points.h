#pragma once

// A terrain sample: laser points of the ground and what stands on it, one point a line
// as "easting northing elevation [class ...]" (blanks or tabs between the fields, "\n"
// or "\r\n" line ends, '#' starting a comment line). Class 0 is the bare ground; a line
// without a class is ground too. Fields after the class are not read.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct TerrainPoint {
    double easting = 0.0;    ///< metres
    double northing = 0.0;   ///< metres
    double elevation = 0.0;  ///< metres
    int32_t pointClass = 0;  ///< 0 bare ground, otherwise an object (building, vegetation)
};

/// Fewest points a terrain sample must hold to build a surface from.
constexpr int32_t MIN_TERRAIN_POINTS = 100;

/// Every point of the file, in file order. Prints "Cannot read <path>", "Line N of <path>
/// is not a point" or "<path> holds fewer than 100 points" to stderr and returns nullopt.
std::optional<std::vector<TerrainPoint>> readTerrainPoints(const std::string& path);

/// The same from text already in memory; `name` is used in the messages.
std::optional<std::vector<TerrainPoint>> parseTerrainPoints(const std::string& text, const std::string& name);
