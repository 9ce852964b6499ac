#pragma once
// Uncompressed LAS 1.0 to 1.4, point formats 0 to 10. Only x, y and z are taken
// (scaled and offset); every other field of a point record, extra bytes included,
// is skipped by the header's record length.

#include "import/byte_source.h"
#include "import/point_sink.h"

#include <string>

/// Reads every point record. Refuses compressed files (the compression bits of the
/// point format, or a compression record among the variable-length records), versions
/// and formats it does not know, and headers whose counts do not fit the file.
ReadOutcome readLas(ByteSource& source, PointSink& sink);

/// Why a compressed LAS file is refused, and how to get a file this program reads.
std::string lazRefusal(const std::string& how);
