#include "import/las_reader.h"

#include "import/binary_fields.h"
#include "import/byte_stream.h"

#include <cmath>
#include <cstring>

namespace {

constexpr std::size_t HEADER_BYTES_1_0 = 227;   ///< the public header up to the z minimum
constexpr std::size_t HEADER_BYTES_READ = 375;  ///< up to the end of the 1.4 fields
constexpr std::size_t VLR_HEADER_BYTES = 54;
constexpr int32_t LASZIP_RECORD_ID = 22204;
// Bytes of each point format up to its last standard field; a file may add extra bytes.
constexpr uint16_t MIN_RECORD_BYTES[] = {20, 28, 26, 34, 57, 63, 30, 36, 38, 59, 67};
constexpr int32_t LAST_FORMAT = 10;

struct LasHeader {
    int32_t versionMinor = 0;   ///< 0..4
    uint16_t headerSize = 0;    ///< bytes of the public header
    uint32_t pointOffset = 0;   ///< bytes from the start of the file to the first point record
    uint32_t vlrCount = 0;      ///< variable-length records after the public header
    int32_t format = 0;         ///< point data format 0..10
    uint16_t recordLength = 0;  ///< bytes per point record, extra bytes included
    uint64_t pointCount = 0;    ///< the 64-bit count of 1.4 when it is set, else the legacy one
    double scale[3] = {};       ///< metres per unit of the stored integers
    double offset[3] = {};      ///< metres added after scaling
};

std::string text(long long v) { return std::to_string(v); }

// The fixed part of the header: everything that does not need the rest of the file.
bool parseHeader(const unsigned char* h, std::size_t bytes, uint64_t fileSize, LasHeader& las, std::string& error)
{
    if (bytes < HEADER_BYTES_1_0 || std::memcmp(h, "LASF", 4) != 0) {
        error = "the LAS header is cut short (" + std::to_string(bytes) + " bytes of at least 227)";
        return false;
    }
    if (h[24] != 1 || h[25] > 4) {
        error = "LAS version " + text(h[24]) + "." + text(h[25]) + " is not read (versions 1.0 to 1.4 are)";
        return false;
    }
    las.versionMinor = h[25];
    las.headerSize = le16(h + 94);
    las.pointOffset = le32(h + 96);
    las.vlrCount = le32(h + 100);
    const unsigned formatByte = h[104];
    las.recordLength = le16(h + 105);
    if ((formatByte & 0xC0) != 0) {
        error = lazRefusal("its point format byte has the compression bit set");
        return false;
    }
    las.format = static_cast<int32_t>(formatByte);
    if (las.format > LAST_FORMAT) {
        error = "LAS point format " + text(las.format) + " is not read (formats 0 to 10 are)";
        return false;
    }
    if (las.headerSize < HEADER_BYTES_1_0 || las.headerSize > las.pointOffset || las.pointOffset > fileSize) {
        error = "the LAS header size " + text(las.headerSize) + " and point data offset " + text(las.pointOffset)
            + " do not fit a file of " + text(static_cast<long long>(fileSize)) + " bytes";
        return false;
    }
    if (las.recordLength < MIN_RECORD_BYTES[las.format]) {
        error = "LAS point records of " + text(las.recordLength) + " bytes are too short for point format "
            + text(las.format) + " (at least " + text(MIN_RECORD_BYTES[las.format]) + ")";
        return false;
    }
    for (int32_t k = 0; k < 3; ++k) {
        las.scale[k] = leDouble(h + 131 + 8 * k);
        las.offset[k] = leDouble(h + 155 + 8 * k);
        if (!std::isfinite(las.scale[k]) || las.scale[k] == 0.0 || !std::isfinite(las.offset[k])) {
            error = "the LAS scale factors or offsets are not usable numbers (zero, infinite or not a number)";
            return false;
        }
    }
    las.pointCount = le32(h + 107);
    // 1.4 keeps a 64-bit count beside the legacy one, which is 0 when the count needs more bits.
    if (las.versionMinor >= 4 && las.headerSize >= 255 && bytes >= 255 && le64(h + 247) != 0) {
        las.pointCount = le64(h + 247);
    }
    return true;
}

// A compression record among the variable-length records marks a LAZ file whose
// format byte was left without the compression bit.
bool hasCompressionRecord(ByteSource& source, const LasHeader& las)
{
    uint64_t at = las.headerSize;
    for (uint32_t k = 0; k < las.vlrCount && at + VLR_HEADER_BYTES <= las.pointOffset; ++k) {
        unsigned char v[VLR_HEADER_BYTES];
        if (source.read(at, v, sizeof v) != sizeof v) {
            return false;
        }
        const bool laszip = std::memcmp(v + 2, "laszip encoded", 14) == 0 && le16(v + 18) == LASZIP_RECORD_ID;
        if (laszip) {
            return true;
        }
        at += VLR_HEADER_BYTES + le16(v + 20);
    }
    return false;
}

bool readPoints(ByteSource& source, const LasHeader& las, PointSink& sink, ReadOutcome& outcome)
{
    ByteStream stream(source, las.pointOffset);
    PointBlock block(sink, outcome);
    const std::size_t perBlock = ByteStream::BLOCK_BYTES / las.recordLength;
    uint64_t left = las.pointCount;
    while (left > 0) {
        const std::size_t n = left < perBlock ? static_cast<std::size_t>(left) : perBlock;
        const unsigned char* bytes = stream.peek(n * las.recordLength);
        if (bytes == nullptr) {
            outcome.error = stream.failed() ? "a read error stopped the LAS point records"
                                            : "the LAS file ends inside its point records";
            return false;
        }
        for (std::size_t i = 0; i < n; ++i) {
            const unsigned char* r = bytes + i * las.recordLength;
            const double x = static_cast<double>(leInt32(r)) * las.scale[0] + las.offset[0];
            const double y = static_cast<double>(leInt32(r + 4)) * las.scale[1] + las.offset[1];
            const double z = static_cast<double>(leInt32(r + 8)) * las.scale[2] + las.offset[2];
            if (!block.add(x, y, z)) {
                return false;
            }
        }
        stream.consume(n * las.recordLength);
        left -= n;
        sink.progress(stream.offset());
    }
    return block.flush();
}

}  // namespace

std::string lazRefusal(const std::string& how)
{
    return "this is a compressed LAS (LAZ) file (" + how
        + "), which this program cannot decompress; decompress it to LAS first, for example with "
          "laszip -i in.laz -o out.las (LAStools) or pdal translate in.laz out.las on a machine that has "
          "them, then import the .las file";
}

ReadOutcome readLas(ByteSource& source, PointSink& sink)
{
    ReadOutcome outcome;
    unsigned char header[HEADER_BYTES_READ] = {};
    const std::size_t bytes = source.read(0, header, sizeof header);
    LasHeader las;
    if (!parseHeader(header, bytes, source.size(), las, outcome.error)) {
        return outcome;
    }
    if (hasCompressionRecord(source, las)) {
        outcome.error = lazRefusal("it holds a compression record");
        return outcome;
    }
    const uint64_t pointBytes = source.size() - las.pointOffset;
    if (las.pointCount > pointBytes / las.recordLength) {
        outcome.error = "the LAS header announces " + std::to_string(las.pointCount) + " points of "
            + std::to_string(las.recordLength) + " bytes, but only " + std::to_string(pointBytes)
            + " bytes follow the point data offset: the file is cut short";
        return outcome;
    }
    sink.expectRecords(static_cast<int64_t>(las.pointCount));
    outcome.ok = readPoints(source, las, sink, outcome);
    return outcome;
}
