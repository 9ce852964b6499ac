#pragma once
// Point text: one point per line, "x y z" first, fields separated by blanks, tabs,
// commas or semicolons; further fields (intensity, colour, ...) are ignored. Blank
// lines and comments are skipped, so are header lines before the first point and
// count lines (a line holding one whole number, as PTS files begin each block).

#include "import/byte_source.h"
#include "import/point_sink.h"

/// Reads every point line. A line that should be a point but holds fewer than three
/// numbers is dropped as unreadable. Refuses only lines too long to be point text.
ReadOutcome readXyz(ByteSource& source, PointSink& sink);
