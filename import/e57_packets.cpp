#include "import/e57_packets.h"

#include "import/binary_fields.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::size_t SECTION_HEADER_BYTES = 32;
constexpr uint8_t COMPRESSED_VECTOR_SECTION = 1;
constexpr uint8_t INDEX_PACKET = 0;
constexpr uint8_t DATA_PACKET = 1;
constexpr uint8_t EMPTY_PACKET = 2;
constexpr std::size_t DATA_HEADER_BYTES = 6;
constexpr std::size_t INDEX_HEADER_BYTES = 16;
constexpr std::size_t PADDING = 8;  ///< zero bytes after a stream's bytes, so a 64-bit load never runs off
// Records a constant field supplies at a time when no other field paces it.
constexpr int64_t CONSTANT_BATCH = 65536;

std::string number(uint64_t v) { return std::to_string(v); }

uint64_t load64(const unsigned char* b) { return le64(b); }

}  // namespace

E57RecordReader::E57RecordReader(E57Pages& pages, const E57Scan& scan, const std::vector<int32_t>& wanted)
    : pages_(pages), scan_(scan)
{
    for (int32_t index : wanted) {
        Stream s;
        s.field = &scan.fields[static_cast<std::size_t>(index)];
        s.index = index;
        s.bytes.assign(PADDING, 0);
        streams_.push_back(std::move(s));
    }
}

bool E57RecordReader::start(std::string& error)
{
    uint64_t sectionStart = 0;
    unsigned char h[SECTION_HEADER_BYTES];
    if (!e57Logical(scan_.sectionOffset, sectionStart)) {
        error = "the points' file offset " + number(scan_.sectionOffset) + " lies inside a page checksum";
        return false;
    }
    if (!pages_.read(sectionStart, h, sizeof h, error)) {
        return false;
    }
    const uint64_t length = le64(h + 8);
    uint64_t dataStart = 0;
    const bool placed = e57Logical(le64(h + 16), dataStart);
    if (h[0] != COMPRESSED_VECTOR_SECTION || length < SECTION_HEADER_BYTES
        || length > pages_.logicalSize() - sectionStart || !placed || dataStart < sectionStart + SECTION_HEADER_BYTES
        || dataStart > sectionStart + length) {
        error = "the binary section of the points at file offset " + number(scan_.sectionOffset)
            + " is no compressed-vector section that fits the file";
        return false;
    }
    // No record takes less than a bit, except where every field is a constant.
    if (static_cast<uint64_t>(scan_.records) / 8 > length) {
        error = "the scan announces " + number(static_cast<uint64_t>(scan_.records)) + " points, more than its "
            + number(length) + " bytes of data can hold";
        return false;
    }
    at_ = dataStart;
    sectionEnd_ = sectionStart + length;
    return true;
}

void E57RecordReader::takeBytes(Stream& s, const unsigned char* data, std::size_t count)
{
    if (s.decoded == scan_.records) {
        return;  // bytes after the last record are padding
    }
    s.bytes.resize(s.bytes.size() - PADDING);
    s.bytes.insert(s.bytes.end(), data, data + count);
    s.bytes.insert(s.bytes.end(), PADDING, 0);
    decode(s);
}

// `count` bit-packed integers from bit `bit` of `bytes` (followed by 8 readable bytes).
// Only a value of more than 56 bits can reach into a ninth byte.
template <bool Scaled, bool Wide>
void unpack(const unsigned char* bytes, uint64_t bit, uint64_t count, const E57Field& f, double* out)
{
    const uint32_t width = static_cast<uint32_t>(f.bits);
    const uint64_t mask = width == 64 ? ~uint64_t{0} : (uint64_t{1} << width) - 1;
    const uint64_t minimum = static_cast<uint64_t>(f.minimum);
    // Copies: a store through `out` could otherwise be taken to change the field's scale.
    const double scale = f.scale;
    const double offset = f.offset;
    for (uint64_t i = 0; i < count; ++i, bit += width) {
        const unsigned char* at = bytes + bit / 8;
        const uint32_t shift = static_cast<uint32_t>(bit % 8);
        uint64_t v = load64(at) >> shift;
        if (Wide && shift != 0 && width + shift > 64) {
            v |= static_cast<uint64_t>(at[8]) << (64 - shift);
        }
        const double raw = static_cast<double>(static_cast<int64_t>((v & mask) + minimum));
        out[i] = Scaled ? raw * scale + offset : raw;
    }
}

// Decodes every whole value the stream holds, up to the record count, and keeps the
// bytes of the value that is still incomplete.
void E57RecordReader::decode(Stream& s)
{
    const E57Field& f = *s.field;
    const std::size_t held = s.bytes.size() - PADDING;
    const uint64_t bits = static_cast<uint64_t>(held) * 8 - s.bitStart;
    const uint64_t left = static_cast<uint64_t>(scan_.records - s.decoded);
    uint64_t n = bits / static_cast<uint64_t>(f.bits);
    n = n < left ? n : left;
    if (s.values.size() < s.valueEnd + n) {
        s.values.resize(s.valueEnd + static_cast<std::size_t>(n));
    }
    double* out = s.values.data() + s.valueEnd;
    const unsigned char* b = s.bytes.data();
    const uint64_t p = s.bitStart;
    const bool scaled = f.kind == E57FieldKind::ScaledInteger;
    if (f.kind == E57FieldKind::Float) {
        // Floats start on a byte: a stream holds nothing else.
        for (uint64_t i = 0; i < n; ++i) {
            const unsigned char* at = b + p / 8 + i * static_cast<uint64_t>(f.bits / 8);
            out[i] = f.bits == 64 ? bitsAs<double>(le64(at)) : static_cast<double>(bitsAs<float>(le32(at)));
        }
    } else if (f.bits > 56) {
        scaled ? unpack<true, true>(b, p, n, f, out) : unpack<false, true>(b, p, n, f, out);
    } else {
        scaled ? unpack<true, false>(b, p, n, f, out) : unpack<false, false>(b, p, n, f, out);
    }
    const uint64_t end = p + n * static_cast<uint64_t>(f.bits);
    s.valueEnd += static_cast<std::size_t>(n);
    s.decoded += static_cast<int64_t>(n);
    s.bitStart = static_cast<uint32_t>(end % 8);
    s.bytes.erase(s.bytes.begin(), s.bytes.begin() + static_cast<std::ptrdiff_t>(end / 8));
}

// The type and length of the packet at at_; false with `error` set when the section
// ends first or the packet cannot be one.
bool E57RecordReader::readPacketHeader(uint8_t& type, uint64_t& length, std::string& error)
{
    unsigned char head[4];
    if (at_ + sizeof head > sectionEnd_) {
        error = "the points end after " + number(static_cast<uint64_t>(returned_)) + " of their "
            + number(static_cast<uint64_t>(scan_.records)) + " records: the file is cut short or damaged";
        return false;
    }
    if (!pages_.read(at_, head, sizeof head, error)) {
        return false;
    }
    type = head[0];
    length = static_cast<uint64_t>(le16(head + 2)) + 1;
    const std::size_t minimum = type == DATA_PACKET ? DATA_HEADER_BYTES
        : type == INDEX_PACKET                      ? INDEX_HEADER_BYTES
                                                    : sizeof head;
    if (type > EMPTY_PACKET || length < minimum || length > sectionEnd_ - at_) {
        error = "the packet at file offset " + number(e57Physical(at_)) + " is broken (type " + number(type) + ", "
            + number(length) + " bytes)";
        return false;
    }
    return true;
}

// Where each bytestream of the data packet in packet_ lies: stream k is
// packet_[starts_[k], starts_[k + 1]).
bool E57RecordReader::locateStreams(std::string& error)
{
    const std::size_t streams = le16(packet_.data() + 4);
    const std::size_t header = DATA_HEADER_BYTES + 2 * streams;
    if (streams != scan_.fields.size() || header > packet_.size()) {
        error = "the data packet at file offset " + number(e57Physical(at_)) + " holds " + number(streams)
            + " bytestreams where the points have " + number(scan_.fields.size()) + " fields";
        return false;
    }
    starts_.resize(streams + 1);
    std::size_t offset = header;
    for (std::size_t k = 0; k < streams; ++k) {
        starts_[k] = offset;
        offset += le16(packet_.data() + DATA_HEADER_BYTES + 2 * k);
    }
    starts_[streams] = offset;
    if (offset > packet_.size()) {
        error = "the bytestreams of the data packet at file offset " + number(e57Physical(at_)) + " run past its end";
        return false;
    }
    return true;
}

bool E57RecordReader::readPacket(std::string& error)
{
    uint8_t type = 0;
    uint64_t length = 0;
    if (!readPacketHeader(type, length, error)) {
        return false;
    }
    if (type == DATA_PACKET) {
        packet_.resize(static_cast<std::size_t>(length));
        if (!pages_.read(at_, packet_.data(), packet_.size(), error) || !locateStreams(error)) {
            return false;
        }
        for (Stream& s : streams_) {
            const std::size_t k = static_cast<std::size_t>(s.index);
            if (s.field->bits > 0) {
                takeBytes(s, packet_.data() + starts_[k], starts_[k + 1] - starts_[k]);
            }
        }
    }
    at_ += length;
    return true;
}

// The records every stream with bits holds decoded; -1 when every wanted field is a
// constant, so that no stream paces the others.
int64_t E57RecordReader::decodedRecords() const
{
    int64_t ready = -1;
    for (const Stream& s : streams_) {
        if (s.field->bits > 0) {
            const int64_t n = static_cast<int64_t>(s.valueEnd);
            ready = ready < 0 || n < ready ? n : ready;
        }
    }
    return ready;
}

int64_t E57RecordReader::next(const double* columns[MAX_WANTED], std::string& error)
{
    for (Stream& s : streams_) {
        std::copy(s.values.begin() + static_cast<std::ptrdiff_t>(s.valueStart),
                  s.values.begin() + static_cast<std::ptrdiff_t>(s.valueEnd), s.values.begin());
        s.valueEnd -= s.valueStart;
        s.valueStart = 0;
    }
    const int64_t left = scan_.records - returned_;
    if (left <= 0) {
        return 0;
    }
    int64_t ready = decodedRecords();
    while (ready == 0) {
        if (!readPacket(error)) {
            return -1;
        }
        ready = decodedRecords();
    }
    const int64_t n = ready < 0 ? (left < CONSTANT_BATCH ? left : CONSTANT_BATCH) : (ready < left ? ready : left);
    for (std::size_t k = 0; k < streams_.size(); ++k) {
        Stream& s = streams_[k];
        if (s.field->bits == 0) {
            const double constant = static_cast<double>(s.field->minimum);
            const double value =
                s.field->kind == E57FieldKind::ScaledInteger ? constant * s.field->scale + s.field->offset : constant;
            s.values.assign(static_cast<std::size_t>(n), value);
            s.valueEnd = static_cast<std::size_t>(n);
        }
        columns[k] = s.values.data();
        s.valueStart = static_cast<std::size_t>(n);
    }
    returned_ += n;
    return n;
}
