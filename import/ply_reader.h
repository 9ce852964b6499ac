#pragma once
// PLY in ascii, binary_little_endian and binary_big_endian. The points are the x, y
// and z properties of the "vertex" element, of any scalar type; every other
// property and element (faces, lists, anything) is skipped, wherever it stands.

#include "import/byte_source.h"
#include "import/point_sink.h"

/// Reads every vertex. Refuses a broken header, a file without a vertex element or
/// without x, y and z, element counts that cannot fit the file, and data cut short.
ReadOutcome readPly(ByteSource& source, PointSink& sink);
