#pragma once
// PTX text scans. A file holds one or more scans, each a header (columns, rows,
// scanner position, scanner axes, a 4x4 transform) and then columns x rows point
// lines "x y z intensity [r g b]". Grid cells without a return are written as
// "0 0 0" and are dropped.

#include "import/byte_source.h"
#include "import/byte_stream.h"
#include "import/point_sink.h"

#include <cstdint>
#include <string>
#include <vector>

struct PtxPose {
    int64_t columns = 0;          ///< grid columns
    int64_t rows = 0;             ///< grid rows
    double scanner[3] = {};       ///< metres, scanner position in the registered frame
    double axes[3][3] = {};       ///< the scanner's x, y and z axes in the registered frame, one per row
    double transform[4][4] = {};  ///< the four transform lines as written in the file
};

struct PtxChoice {
    int32_t scan = 1;        ///< 1-based scan of the file to read
    bool applyPose = false;  ///< points go through the transform into the registered frame
};

struct PtxScanInfo {
    PtxPose pose;            ///< the header of the scan read
    int32_t scansFound = 0;  ///< complete scan headers met in the file
};

/// Reads the chosen scan and counts the scans after it. The sink's scanner position
/// is the header's when the pose is applied, else the origin of the scan's frame.
ReadOutcome readPtx(ByteSource& source, const PtxChoice& choice, PointSink& sink, PtxScanInfo& info);

/// The headers of every scan of the file, in order; false with `error` set when a scan
/// is cut short or the text after the last complete scan is no scan.
bool readPtxPoses(ByteSource& source, std::vector<PtxPose>& poses, std::string& error);

/// Reads one scan header from the stream (blank lines before it skipped). `line`
/// counts the lines read. false with `error` saying which line is wrong, or with
/// `error` empty when the input holds nothing more.
bool readPtxHeader(ByteStream& stream, PtxPose& pose, int64_t& line, std::string& error);

/// The transform as an affine map in the form p' = R p + t (row-major R), whichever
/// way round the file wrote it; false when it is not affine in either form.
bool ptxAffine(const PtxPose& pose, double rotation[3][3], double translation[3]);
