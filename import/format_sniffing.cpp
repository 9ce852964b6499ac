#include "import/format_sniffing.h"

#include "import/byte_stream.h"
#include "import/las_reader.h"
#include "import/ptx_reader.h"
#include "import/text_fields.h"

#include <cctype>
#include <cstring>

namespace {

constexpr std::size_t HEAD_BYTES = 4096;
constexpr int32_t TEXT_LINES_LOOKED_AT = 100;

std::string lowerExtension(const std::string& fileName)
{
    const std::size_t dot = fileName.find_last_of('.');
    const std::size_t slash = fileName.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return {};
    }
    std::string extension = fileName.substr(dot);
    for (char& c : extension) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return extension;
}

bool startsWith(const unsigned char* head, std::size_t bytes, const char* magic)
{
    const std::size_t n = std::strlen(magic);
    return bytes >= n && std::memcmp(head, magic, n) == 0;
}

bool looksLikePtx(ByteSource& source)
{
    ByteStream stream(source);
    PtxPose pose;
    int64_t line = 0;
    std::string error;
    return readPtxHeader(stream, pose, line, error);
}

// The first line that is neither blank, a comment, a column-name line nor a count
// line must start with three numbers.
bool looksLikePointText(ByteSource& source)
{
    ByteStream stream(source);
    std::string_view line;
    for (int32_t k = 0; k < TEXT_LINES_LOOKED_AT; ++k) {
        if (stream.nextLine(line) != LineStatus::Line) {
            return false;
        }
        if (k == 0) {
            dropByteOrderMark(line);
        }
        if (isBlankOrComment(line)) {
            continue;
        }
        double p[3];
        if (leadingReals(line, p, 3)) {
            return true;
        }
        FieldCursor fields(line);
        std::string_view first;
        fields.next(first);
        int64_t count = 0;
        const bool countLine = parseInteger(first, count) && fields.atEnd();
        if (!countLine && parseReal(first, p[0])) {
            return false;  // numbers, but fewer than three: not points
        }
    }
    return false;
}

SniffResult refused(PointFormat format, std::string why) { return SniffResult{format, std::move(why), {}}; }

}  // namespace

SniffResult sniffFormat(ByteSource& source, const std::string& fileName)
{
    unsigned char head[HEAD_BYTES];
    const std::size_t bytes = source.read(0, head, sizeof head);
    const std::string extension = lowerExtension(fileName);
    if (extension == ".bxyz") {
        return refused(PointFormat::Bxyz,
                       "this is already a binary point file (.bxyz) of the batch program; copy it "
                       "to the name the survey database gives instead of importing it");
    }
    if (startsWith(head, bytes, "LASF")) {
        if (bytes > 104 && (head[104] & 0xC0) != 0) {
            return refused(PointFormat::Laz, lazRefusal("its point format byte has the compression bit set"));
        }
        SniffResult las{PointFormat::Las, {}, {}};
        if (extension == ".laz") {
            las.warning = "the name ends in .laz, but the point format byte has no compression bit: the file is "
                          "read as the uncompressed LAS it is (rename it to .las)";
        }
        return las;
    }
    if (startsWith(head, bytes, "ASTM-E57")) {
        return {PointFormat::E57, {}, {}};
    }
    if (startsWith(head, bytes, "ply\n") || startsWith(head, bytes, "ply\r\n")) {
        return {PointFormat::Ply, {}, {}};
    }
    if (extension == ".laz") {
        return refused(PointFormat::Unknown,
                       "the name ends in .laz, but the file does not start with the LAS "
                       "signature: it is neither LAZ nor anything else this program reads");
    }
    // Point text holds no NUL byte; a binary file almost always does early on.
    if (bytes == 0 || std::memchr(head, 0, bytes) != nullptr) {
        return refused(PointFormat::Unknown,
                       bytes == 0 ? "the file is empty"
                                  : "this is not a point-cloud file this program recognises: "
                                    "it reads LAS, PLY, PTX, E57 and XYZ/PTS point text");
    }
    if (looksLikePtx(source)) {
        return {PointFormat::Ptx, {}, {}};
    }
    if (extension == ".ptx") {
        return refused(PointFormat::Unknown,
                       "the name ends in .ptx, but the file does not start with a PTX scan "
                       "header (columns, rows, scanner position, three axes, a 4x4 transform)");
    }
    if (looksLikePointText(source)) {
        return {PointFormat::Xyz, {}, {}};
    }
    return refused(PointFormat::Unknown,
                   "this is not a point-cloud file this program recognises: it reads LAS, PLY, "
                   "PTX, E57 and XYZ/PTS point text");
}
