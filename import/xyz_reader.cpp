#include "import/xyz_reader.h"

#include "import/byte_stream.h"
#include "import/text_fields.h"

#include <cstdint>

namespace {

enum class LineKind { Skipped, CountLine, Point };

LineKind classify(std::string_view line, bool pointsSeen, int64_t& count)
{
    if (isBlankOrComment(line)) {
        return LineKind::Skipped;
    }
    FieldCursor fields(line);
    std::string_view first;
    fields.next(first);
    if (parseInteger(first, count) && count >= 0 && fields.atEnd()) {
        return LineKind::CountLine;
    }
    double value = 0.0;
    // Column names ("X Y Z", "x,y,z,intensity") before the first point.
    if (!pointsSeen && !parseReal(first, value)) {
        return LineKind::Skipped;
    }
    return LineKind::Point;
}

}  // namespace

ReadOutcome readXyz(ByteSource& source, PointSink& sink)
{
    ReadOutcome outcome;
    ByteStream stream(source);
    PointBlock block(sink, outcome);
    int64_t lineNumber = 0;
    int64_t announced = 0;
    bool counted = false;
    std::string_view line;
    for (;;) {
        const LineStatus status = stream.nextLine(line);
        if (status == LineStatus::End) {
            break;
        }
        ++lineNumber;
        if (status == LineStatus::TooLong) {
            outcome.error = "line " + std::to_string(lineNumber) + " is longer than 1 MiB: this is not point text";
            return outcome;
        }
        if (lineNumber == 1) {
            dropByteOrderMark(line);
        }
        int64_t count = 0;
        const LineKind kind = classify(line, outcome.records > 0, count);
        if (kind == LineKind::CountLine) {
            counted = true;
            announced = count > INT64_MAX - announced ? INT64_MAX : announced + count;
            continue;
        }
        if (kind == LineKind::Skipped) {
            continue;
        }
        double p[3];
        if (!leadingReals(line, p, 3)) {
            block.drop(DropReason::Unreadable);
        } else if (!block.add(p[0], p[1], p[2])) {
            return outcome;
        }
        if (outcome.records % static_cast<int64_t>(PointBlock::CAPACITY) == 0) {
            sink.progress(stream.offset());
        }
    }
    sink.progress(stream.offset());
    if (!block.flush()) {
        return outcome;
    }
    if (stream.failed()) {
        outcome.error = "a read error stopped the point text";
        return outcome;
    }
    if (counted && announced != outcome.records) {
        outcome.note = "the count line(s) announce " + std::to_string(announced) + " points, but the file holds "
            + std::to_string(outcome.records) + " point lines";
    }
    outcome.ok = true;
    return outcome;
}
