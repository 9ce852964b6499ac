#pragma once
// The side file that keeps a PTX or E57 scan's pose next to the converted points.

#include "import/e57_structure.h"
#include "import/ptx_reader.h"

#include <cstdio>
#include <string>

/// `output` with ".bxyz" replaced by ".pose.txt".
std::string poseFileName(const std::string& output);

/// The PTX scan header as "KEY values" lines.
void putPtxPose(std::FILE* to, const std::string& input, int32_t scan, const PtxScanInfo& info, bool applied);

/// The E57 scan's pose as "KEY values" lines, with the survey database values it gives.
void putE57Pose(std::FILE* to, const std::string& input, int32_t scan, const E57Contents& contents, bool applied);
