#pragma once
// Which reader an input needs, told from its content: the LAS, PLY and E57
// signatures, the shape of a PTX scan header, lines of numbers for point text.
// The file name only settles what content cannot (.bxyz, and a .laz that is no LAS).

#include "batch/point_formats.h"
#include "import/byte_source.h"

#include <string>

struct SniffResult {
    PointFormat format = PointFormat::Unknown;
    std::string refusal;  ///< for Laz, Bxyz and Unknown: why it is not read and what to do
    std::string warning;  ///< read all the same, but the user should hear this (a misleading name)
};

/// `fileName` is the input's path or name, used only for its extension.
SniffResult sniffFormat(ByteSource& source, const std::string& fileName);
