#pragma once

#include "batch/inputs/point_files.h"

#include <cstdint>
#include <string>
#include <vector>

// Small synthetic scans for engine tests: a rough wall facing the scanners,
// x = 10 + a few sines of (y, z), sampled on a jittered grid.

/// Points of the wall over y in [y0, y0 + width), z in [0, height), spacing `step`.
std::vector<CubePoint> roughWall(double y0, double width, double height, double step, uint32_t seed);

/// Writes the points as a binary point file (32-byte records).
void writeBinaryScan(const std::string& path, const std::vector<CubePoint>& points);
