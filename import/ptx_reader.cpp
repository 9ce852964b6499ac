#include "import/ptx_reader.h"

#include "import/text_fields.h"

#include <cmath>

namespace {

bool isBlank(std::string_view line) { return FieldCursor(line).atEnd(); }

// The next line that holds anything; false at the end of the input.
bool nextFilledLine(ByteStream& stream, std::string_view& text, int64_t& line)
{
    for (;;) {
        if (stream.nextLine(text) != LineStatus::Line) {
            return false;
        }
        ++line;
        if (!isBlank(text)) {
            return true;
        }
    }
}

// Exactly `count` finite numbers and nothing else.
bool exactReals(std::string_view text, double* values, int32_t count)
{
    FieldCursor fields(text);
    std::string_view field;
    for (int32_t k = 0; k < count; ++k) {
        if (!fields.next(field) || !parseReal(field, values[k]) || !std::isfinite(values[k])) {
            return false;
        }
    }
    return fields.atEnd();
}

bool gridSize(std::string_view text, int64_t& value)
{
    FieldCursor fields(text);
    std::string_view field;
    return fields.next(field) && parseInteger(field, value) && value > 0 && fields.atEnd();
}

bool near(double a, double b) { return std::fabs(a - b) <= 1e-9; }

struct ScanReading {
    int64_t line = 0;        ///< lines read so far
    int64_t pointLines = 0;  ///< point lines of the current scan read so far
};

// Passes over the point lines of a scan that is not wanted.
bool skipPoints(ByteStream& stream, int64_t count, ScanReading& at)
{
    std::string_view text;
    for (at.pointLines = 0; at.pointLines < count; ++at.pointLines) {
        if (!nextFilledLine(stream, text, at.line)) {
            return false;
        }
    }
    return true;
}

bool readPoints(ByteStream& stream, const PtxChoice& choice, const PtxPose& pose, PointSink& sink, ReadOutcome& outcome,
                ScanReading& at)
{
    double rotation[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    double translation[3] = {0, 0, 0};
    if (choice.applyPose && !ptxAffine(pose, rotation, translation)) {
        outcome.error = "the transform of scan " + std::to_string(choice.scan)
            + " is not an affine placement, so it cannot be applied";
        return false;
    }
    const int64_t count = pose.columns * pose.rows;
    sink.expectRecords(count);
    if (choice.applyPose) {
        sink.setScannerPosition(ImportedPoint{pose.scanner[0], pose.scanner[1], pose.scanner[2]});
    }
    PointBlock block(sink, outcome);
    std::string_view text;
    for (at.pointLines = 0; at.pointLines < count; ++at.pointLines) {
        if (!nextFilledLine(stream, text, at.line)) {
            outcome.error = "scan " + std::to_string(choice.scan) + " ends after " + std::to_string(at.pointLines)
                + " of its " + std::to_string(count) + " point lines: the file is cut short";
            return false;
        }
        double p[3];
        if (!leadingReals(text, p, 3)) {
            block.drop(DropReason::Unreadable);
            continue;
        }
        if (p[0] == 0.0 && p[1] == 0.0 && p[2] == 0.0) {
            block.drop(DropReason::NoReturn);
            continue;
        }
        double q[3];
        for (int32_t r = 0; r < 3; ++r) {
            q[r] = rotation[r][0] * p[0] + rotation[r][1] * p[1] + rotation[r][2] * p[2] + translation[r];
        }
        if (!block.add(q[0], q[1], q[2])) {
            return false;
        }
        if ((at.pointLines + 1) % static_cast<int64_t>(PointBlock::CAPACITY) == 0) {
            sink.progress(stream.offset());
        }
    }
    sink.progress(stream.offset());
    return block.flush();
}

// Past the chosen scan only the headers are read, to tell how many scans the file holds.
void countLaterScans(ByteStream& stream, PtxScanInfo& info, ReadOutcome& outcome, ScanReading& at)
{
    for (;;) {
        PtxPose pose;
        std::string error;
        if (!readPtxHeader(stream, pose, at.line, error)) {
            if (!error.empty()) {
                outcome.note = "the text after scan " + std::to_string(info.scansFound)
                    + " is not a complete scan; it was ignored";
            }
            return;
        }
        ++info.scansFound;
        if (!skipPoints(stream, pose.columns * pose.rows, at)) {
            outcome.note = "scan " + std::to_string(info.scansFound) + " of the file is cut short";
            return;
        }
    }
}

}  // namespace

bool readPtxHeader(ByteStream& stream, PtxPose& pose, int64_t& line, std::string& error)
{
    std::string_view text;
    static const char* const expected[10] = {"the number of columns",
                                             "the number of rows",
                                             "the scanner position (3 numbers)",
                                             "the scanner x axis (3 numbers)",
                                             "the scanner y axis (3 numbers)",
                                             "the scanner z axis (3 numbers)",
                                             "transform line 1 (4 numbers)",
                                             "transform line 2 (4 numbers)",
                                             "transform line 3 (4 numbers)",
                                             "transform line 4 (4 numbers)"};
    for (int32_t k = 0; k < 10; ++k) {
        if (!nextFilledLine(stream, text, line)) {
            // Nothing at all left is the clean end of a file of scans, not a broken header.
            error = k == 0 ? std::string() : "the PTX header ends before " + std::string(expected[k]);
            return false;
        }
        bool ok = false;
        if (k < 2) {
            ok = gridSize(text, k == 0 ? pose.columns : pose.rows);
        } else if (k == 2) {
            ok = exactReals(text, pose.scanner, 3);
        } else if (k < 6) {
            ok = exactReals(text, pose.axes[k - 3], 3);
        } else {
            ok = exactReals(text, pose.transform[k - 6], 4);
        }
        if (!ok) {
            error = "line " + std::to_string(line) + " should hold " + expected[k] + " of a PTX scan header";
            return false;
        }
    }
    // Every point line takes at least two bytes; a bigger grid cannot be in the file.
    const uint64_t room = stream.remaining() / 2 + 1;
    if (static_cast<uint64_t>(pose.columns) > room / static_cast<uint64_t>(pose.rows)) {
        error = "the PTX scan header at line " + std::to_string(line - 9) + " announces " + std::to_string(pose.columns)
            + " x " + std::to_string(pose.rows) + " points, more than the rest of the file can hold";
        return false;
    }
    return true;
}

bool readPtxPoses(ByteSource& source, std::vector<PtxPose>& poses, std::string& error)
{
    ByteStream stream(source);
    ScanReading at;
    poses.clear();
    for (;;) {
        PtxPose pose;
        if (!readPtxHeader(stream, pose, at.line, error)) {
            if (!error.empty()) {
                error = "the text after scan " + std::to_string(poses.size()) + " is not a complete PTX scan (" + error
                    + ")";
                return false;
            }
            if (poses.empty()) {
                error = "the file holds no PTX scan";
                return false;
            }
            if (stream.failed()) {
                error = "a read error stopped the PTX file";
                return false;
            }
            return true;
        }
        poses.push_back(pose);
        if (!skipPoints(stream, pose.columns * pose.rows, at)) {
            error = "scan " + std::to_string(poses.size()) + " is cut short after " + std::to_string(at.pointLines)
                + " of its " + std::to_string(pose.columns * pose.rows) + " point lines";
            return false;
        }
    }
}

bool ptxAffine(const PtxPose& pose, double rotation[3][3], double translation[3])
{
    const auto& m = pose.transform;
    const bool rowVector = near(m[0][3], 0.0) && near(m[1][3], 0.0) && near(m[2][3], 0.0) && near(m[3][3], 1.0);
    const bool columnVector = near(m[3][0], 0.0) && near(m[3][1], 0.0) && near(m[3][2], 0.0) && near(m[3][3], 1.0);
    if (!rowVector && !columnVector) {
        return false;
    }
    // Written for row vectors ([x y z 1] times the matrix) unless only the other way is affine.
    for (int32_t r = 0; r < 3; ++r) {
        for (int32_t c = 0; c < 3; ++c) {
            rotation[r][c] = rowVector ? m[c][r] : m[r][c];
        }
        translation[r] = rowVector ? m[3][r] : m[r][3];
    }
    return true;
}

ReadOutcome readPtx(ByteSource& source, const PtxChoice& choice, PointSink& sink, PtxScanInfo& info)
{
    ReadOutcome outcome;
    ByteStream stream(source);
    ScanReading at;
    info = PtxScanInfo();
    for (int32_t scan = 1; scan <= choice.scan; ++scan) {
        PtxPose pose;
        if (!readPtxHeader(stream, pose, at.line, outcome.error)) {
            const std::string why = outcome.error.empty() ? std::string() : " (" + outcome.error + ")";
            outcome.error = scan == 1 && outcome.error.empty() ? "the file holds no PTX scan"
                : scan == 1                                    ? outcome.error
                            : "there is no scan " + std::to_string(choice.scan) + ": the file holds "
                    + std::to_string(info.scansFound) + " complete scan(s)" + why;
            return outcome;
        }
        ++info.scansFound;
        if (scan == choice.scan) {
            info.pose = pose;
        } else if (!skipPoints(stream, pose.columns * pose.rows, at)) {
            outcome.error = "there is no scan " + std::to_string(choice.scan) + ": scan " + std::to_string(scan)
                + " is cut short after " + std::to_string(at.pointLines) + " point lines";
            return outcome;
        }
    }
    if (!readPoints(stream, choice, info.pose, sink, outcome, at)) {
        return outcome;
    }
    countLaterScans(stream, info, outcome, at);
    outcome.ok = !stream.failed();
    if (stream.failed()) {
        outcome.error = "a read error stopped the PTX file";
    }
    return outcome;
}
