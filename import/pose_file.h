#pragma once
// The side file that keeps a PTX scan's header next to the converted points.

#include "import/ptx_reader.h"

#include <string>

/// `output` with ".bxyz" replaced by ".pose.txt".
std::string poseFileName(const std::string& output);

/// Writes the scan header as "KEY values" lines (through a temporary file); false with
/// `error` set when it cannot be written.
bool writePoseFile(const std::string& path, const std::string& input, int32_t scan, const PtxScanInfo& info,
                   bool applied, std::string& error);
