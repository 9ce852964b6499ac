#pragma once
// E57 files: often a whole survey, several scans each with its pose, the
// placement of the scanner in the file's common frame. A scan's points are read in the
// scanner's own frame, or moved into the common frame with the pose; records whose
// invalid state is not 0 are dropped.

#include "import/byte_source.h"
#include "import/e57_structure.h"
#include "import/point_sink.h"

#include <cstdint>
#include <string>

struct E57Choice {
    int32_t scan = 1;        ///< 1-based scan of the file to read
    bool applyPose = false;  ///< points go through the pose into the file's common frame
};

/// Reads the header, page 0 and the XML section into `contents`. false with `error` set
/// when the file is no E57 file, a page read is damaged, the file is cut short, the XML
/// does not parse, or the file holds no scan with points.
bool openE57(ByteSource& source, E57Contents& contents, std::string& error);

/// Reads scan `scan` (1-based) of an opened file. The sink's scanner position is the
/// pose's translation when the pose is applied, else the origin of the scanner's frame.
ReadOutcome readE57Scan(ByteSource& source, const E57Contents& contents, int32_t scan, bool applyPose, PointSink& sink);

/// openE57, then the chosen scan.
ReadOutcome readE57(ByteSource& source, const E57Choice& choice, PointSink& sink, E57Contents& contents);

/// "scan 2 (North)", or "scan 2" for a scan without a name, for messages.
std::string e57ScanLabel(const E57Contents& contents, int32_t scan);
