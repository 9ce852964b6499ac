#include "tools/scan_file_writer.h"

#include <cinttypes>
#include <cmath>
#include <cstring>

namespace {

constexpr size_t BLOCK_BYTES = size_t{1} << 21;  // flush the point buffer every 2 MiB
constexpr int32_t PLY_RECORD_BYTES = 24;
constexpr int32_t LAS_RECORD_BYTES = 30;  // point format 6 without extra bytes
constexpr int32_t LAS_HEADER_BYTES = 375;
constexpr double LAS_STEPS_PER_METRE = 10000.0;  // exact, where 1 / LAS_SCALE would not be
constexpr size_t COUNT_DIGITS = 19;              // of the largest int64_t

void putLittleEndian(unsigned char* out, uint64_t bits, int32_t bytes)
{
    for (int32_t k = 0; k < bytes; ++k) {
        out[k] = static_cast<unsigned char>(bits >> (8 * k));
    }
}

void putDouble(unsigned char* out, double v)
{
    uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    putLittleEndian(out, bits, 8);
}

int32_t recordBytes(PointFormat format)
{
    switch (format) {
    case PointFormat::Ply:
        return PLY_RECORD_BYTES;
    case PointFormat::Las:
        return LAS_RECORD_BYTES;
    default:
        break;
    }
    return POINT_RECORD_BYTES;
}

// The count's digits vary; blanks after the comment keep every header one length, so
// that the header written last fills exactly the room kept for it.
std::vector<unsigned char> plyHeader(int64_t points)
{
    char count[32];
    std::snprintf(count, sizeof count, "%" PRId64, points);
    std::string text = "ply\nformat binary_little_endian 1.0\ncomment scanner frame, metres";
    text.append(COUNT_DIGITS - std::strlen(count), ' ');
    text += std::string("\nelement vertex ") + count
        + "\nproperty double x\nproperty double y\nproperty double z\nend_header\n";
    return std::vector<unsigned char>(text.begin(), text.end());
}

std::vector<unsigned char> lasHeader(int64_t points, const LasExtent& e)
{
    std::vector<unsigned char> h(LAS_HEADER_BYTES, 0);
    std::memcpy(h.data(), "LASF", 4);
    putLittleEndian(&h[6], 0x10, 2);  // WKT bit: point formats 6 and up must set it
    h[24] = 1;
    h[25] = 4;
    std::memcpy(&h[26], "synthetic scanner", 17);
    std::memcpy(&h[58], "make_example_survey", 19);
    // Creation day and year stay 0 (unknown): a date would make one seed give other bytes.
    putLittleEndian(&h[94], LAS_HEADER_BYTES, 2);
    putLittleEndian(&h[96], LAS_HEADER_BYTES, 4);  // no variable-length records
    h[104] = 6;
    putLittleEndian(&h[105], LAS_RECORD_BYTES, 2);
    // The legacy 32-bit counts stay 0, as point format 6 requires.
    for (int32_t k = 0; k < 3; ++k) {
        putDouble(&h[131 + 8 * k], LAS_SCALE);
        putDouble(&h[155 + 8 * k], e.offset[k]);
        // Maximum before minimum, per axis; computed as a reader computes the points.
        putDouble(&h[179 + 16 * k], static_cast<double>(e.highest[k]) * LAS_SCALE + e.offset[k]);
        putDouble(&h[187 + 16 * k], static_cast<double>(e.lowest[k]) * LAS_SCALE + e.offset[k]);
    }
    putLittleEndian(&h[247], static_cast<uint64_t>(points), 8);
    putLittleEndian(&h[255], static_cast<uint64_t>(points), 8);  // every point a first return
    return h;
}

std::vector<unsigned char> headerBytes(PointFormat format, int64_t points, const LasExtent& extent)
{
    switch (format) {
    case PointFormat::Ply:
        return plyHeader(points);
    case PointFormat::Las:
        return lasHeader(points, extent);
    default:
        break;
    }
    return {};
}

}  // namespace

const char* scanFormatName(PointFormat format) { return pointFormatExtension(format); }

std::optional<PointFormat> scanFormatNamed(const std::string& name)
{
    for (PointFormat f : {PointFormat::Bxyz, PointFormat::Ply, PointFormat::Las, PointFormat::E57}) {
        if (name == scanFormatName(f)) {
            return f;
        }
    }
    return std::nullopt;
}

bool ScanFileWriter::open(const std::string& path, PointFormat format)
{
    path_ = path;
    format_ = format;
    bytes_ = 0;
    points_ = 0;
    failed_ = false;
    outOfReach_ = false;
    las_ = LasExtent();
    std::string reason;
    if (!file_.open(path, reason)) {
        std::fprintf(stderr, "Cannot create %s\n", path.c_str());
        return false;
    }
    buffer_.clear();
    buffer_.reserve(BLOCK_BYTES);
    // Room for the header, which finish() writes again with the count.
    const std::vector<unsigned char> room = headerBytes(format, 0, las_);
    buffer_.insert(buffer_.end(), room.begin(), room.end());
    return true;
}

// The first point fixes the offset: every other point of a scan lies within a few hundred
// metres of it, far inside the +-214 km that 32-bit integers of 0.1 mm reach.
bool ScanFileWriter::putLas(const ScanPoint& p, unsigned char* record)
{
    const double v[3] = {p.x, p.y, p.z};
    for (int32_t k = 0; k < 3; ++k) {
        if (points_ == 0) {
            las_.offset[k] = std::round(v[k]);
        }
        const double steps = std::round((v[k] - las_.offset[k]) * LAS_STEPS_PER_METRE);
        if (!(steps >= INT32_MIN && steps <= INT32_MAX)) {
            outOfReach_ = true;
            return false;
        }
        const int32_t q = static_cast<int32_t>(steps);
        las_.lowest[k] = points_ == 0 ? q : std::min(las_.lowest[k], q);
        las_.highest[k] = points_ == 0 ? q : std::max(las_.highest[k], q);
        putLittleEndian(record + 4 * k, static_cast<uint32_t>(q), 4);
    }
    std::memset(record + 12, 0, LAS_RECORD_BYTES - 12);
    record[14] = 0x11;  // return 1 of 1
    return true;
}

bool ScanFileWriter::append(const std::vector<ScanPoint>& points)
{
    if (!file_.isOpen() || failed_) {
        return false;
    }
    const size_t bytes = static_cast<size_t>(recordBytes(format_));
    size_t at = buffer_.size();
    buffer_.resize(at + points.size() * bytes);
    for (const ScanPoint& p : points) {
        unsigned char* r = buffer_.data() + at;
        if (format_ == PointFormat::Las) {
            if (!putLas(p, r)) {
                failed_ = true;
                return false;
            }
        } else {
            putDouble(r, p.x);
            putDouble(r + 8, p.y);
            putDouble(r + 16, p.z);
            if (format_ == PointFormat::Bxyz) {
                std::memset(r + 24, 0, 8);
            }
        }
        at += bytes;
        ++points_;
    }
    return buffer_.size() < BLOCK_BYTES || writeBuffer();
}

bool ScanFileWriter::writeBuffer()
{
    failed_ = std::fwrite(buffer_.data(), 1, buffer_.size(), file_.file()) != buffer_.size();
    bytes_ += static_cast<int64_t>(buffer_.size());
    buffer_.clear();
    return !failed_;
}

bool ScanFileWriter::finish()
{
    if (!file_.isOpen()) {
        return false;
    }
    if (!failed_ && !buffer_.empty()) {
        writeBuffer();
    }
    const std::vector<unsigned char> header = headerBytes(format_, points_, las_);
    if (!failed_ && !header.empty()) {
        failed_ = std::fseek(file_.file(), 0, SEEK_SET) != 0
            || std::fwrite(header.data(), 1, header.size(), file_.file()) != header.size();
    }
    std::string reason;
    const bool committed = !failed_ && !outOfReach_ && file_.commit(reason);
    file_.discard();
    if (outOfReach_) {
        std::fprintf(stderr, "Cannot write %s: a point lies beyond the 32-bit LAS integers from the first point\n",
                     path_.c_str());
        return false;
    }
    if (!committed) {
        std::fprintf(stderr, "Cannot write %s\n", path_.c_str());
        return false;
    }
    return true;
}
