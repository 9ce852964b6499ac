#include "import/ply_reader.h"

#include "import/binary_fields.h"
#include "import/byte_stream.h"
#include "import/ply_header.h"
#include "import/text_fields.h"

namespace {

constexpr std::size_t NO_PROPERTY = static_cast<std::size_t>(-1);

// Where x, y and z sit among the vertex element's properties.
struct VertexLayout {
    std::size_t index[3] = {NO_PROPERTY, NO_PROPERTY, NO_PROPERTY};  ///< property index of x, y, z
    std::size_t offset[3] = {};                                      ///< byte offset within a fixed-size binary record
    std::size_t recordBytes = 0;  ///< bytes of a binary record when it has no list, else 0
};

bool findVertexLayout(const PlyElement& vertex, VertexLayout& layout, std::string& error)
{
    static const char* const AXES[3] = {"x", "y", "z"};
    std::size_t at = 0;
    bool fixed = true;
    for (std::size_t p = 0; p < vertex.properties.size(); ++p) {
        const PlyProperty& property = vertex.properties[p];
        for (int32_t k = 0; k < 3; ++k) {
            if (property.name == AXES[k] && layout.index[k] == NO_PROPERTY && !property.isList) {
                layout.index[k] = p;
                layout.offset[k] = at;
            }
        }
        fixed = fixed && !property.isList;
        at += plyTypeBytes(property.type);
    }
    layout.recordBytes = fixed ? at : 0;
    if (layout.index[0] == NO_PROPERTY || layout.index[1] == NO_PROPERTY || layout.index[2] == NO_PROPERTY) {
        error = "the PLY vertex element has no x, y and z properties";
        return false;
    }
    return true;
}

// ---- binary ------------------------------------------------------------------

double binaryValue(const unsigned char* b, PlyType type, bool big)
{
    switch (type) {
    case PlyType::Int8:
        return bitsAs<int8_t>(b[0]);
    case PlyType::UInt8:
        return b[0];
    case PlyType::Int16:
        return bitsAs<int16_t>(big ? be16(b) : le16(b));
    case PlyType::UInt16:
        return big ? be16(b) : le16(b);
    case PlyType::Int32:
        return bitsAs<int32_t>(big ? be32(b) : le32(b));
    case PlyType::UInt32:
        return big ? be32(b) : le32(b);
    case PlyType::Float32:
        return bitsAs<float>(big ? be32(b) : le32(b));
    case PlyType::Float64:
        return bitsAs<double>(big ? be64(b) : le64(b));
    }
    return 0.0;
}

// The smallest number of bytes a record can take (lists empty).
uint64_t minimumRecordBytes(const PlyElement& element)
{
    uint64_t bytes = 0;
    for (const PlyProperty& p : element.properties) {
        bytes += plyTypeBytes(p.isList ? p.countType : p.type);
    }
    return bytes;
}

bool countFits(const PlyElement& element, uint64_t available, std::string& error)
{
    const uint64_t least = minimumRecordBytes(element);
    if (least > 0 && element.count > available / least) {
        error = "the PLY element \"" + shownText(element.name) + "\" announces " + std::to_string(element.count)
            + " records of at least " + std::to_string(least) + " bytes, but only " + std::to_string(available)
            + " bytes are left: the file is cut short";
        return false;
    }
    return true;
}

// One record of any layout, field by field; the values of the properties in
// `wanted` (x, y, z) go to `values`.
bool walkBinaryRecord(ByteStream& stream, const PlyElement& element, bool big, const VertexLayout* wanted,
                      double* values)
{
    for (std::size_t p = 0; p < element.properties.size(); ++p) {
        const PlyProperty& property = element.properties[p];
        const PlyType type = property.isList ? property.countType : property.type;
        const unsigned char* bytes = stream.peek(plyTypeBytes(type));
        if (bytes == nullptr) {
            return false;
        }
        const double value = binaryValue(bytes, type, big);
        stream.consume(plyTypeBytes(type));
        if (property.isList) {
            // Integral, so exact; the skip refuses what passes the end of the file.
            if (value < 0.0 || !stream.skip(static_cast<uint64_t>(value) * plyTypeBytes(property.type))) {
                return false;
            }
        }
        for (int32_t k = 0; wanted != nullptr && k < 3; ++k) {
            if (wanted->index[k] == p) {
                values[k] = value;
            }
        }
    }
    return true;
}

bool skipBinaryElement(ByteStream& stream, const PlyElement& element, bool big, std::string& error)
{
    if (!countFits(element, stream.remaining(), error)) {
        return false;
    }
    const uint64_t least = minimumRecordBytes(element);
    bool fixed = true;
    for (const PlyProperty& p : element.properties) {
        fixed = fixed && !p.isList;
    }
    if (fixed) {
        return stream.skip(element.count * least);  // countFits keeps the product within the file
    }
    for (uint64_t r = 0; r < element.count; ++r) {
        if (!walkBinaryRecord(stream, element, big, nullptr, nullptr)) {
            error = "the PLY data ends inside record " + std::to_string(r + 1) + " of element \""
                + shownText(element.name) + "\" (or a list there is longer than the file)";
            return false;
        }
    }
    return true;
}

bool readBinaryVertices(ByteStream& stream, const PlyElement& vertex, const VertexLayout& layout, bool big,
                        PointSink& sink, ReadOutcome& outcome)
{
    if (!countFits(vertex, stream.remaining(), outcome.error)) {
        return false;
    }
    sink.expectRecords(static_cast<int64_t>(vertex.count));
    PointBlock block(sink, outcome);
    const PlyType types[3] = {vertex.properties[layout.index[0]].type, vertex.properties[layout.index[1]].type,
                              vertex.properties[layout.index[2]].type};
    const std::size_t perBlock = layout.recordBytes == 0 ? 1 : ByteStream::BLOCK_BYTES / layout.recordBytes;
    uint64_t done = 0;
    while (done < vertex.count) {
        const uint64_t left = vertex.count - done;
        const std::size_t n = left < perBlock ? static_cast<std::size_t>(left) : perBlock;
        double v[3] = {};
        if (layout.recordBytes == 0) {
            if (!walkBinaryRecord(stream, vertex, big, &layout, v)) {
                outcome.error = "the PLY data ends inside vertex " + std::to_string(done + 1)
                    + " (or a list there is longer than the file)";
                return false;
            }
            if (!block.add(v[0], v[1], v[2])) {
                return false;
            }
        } else {
            const unsigned char* bytes = stream.peek(n * layout.recordBytes);
            if (bytes == nullptr) {
                outcome.error = "the PLY data ends inside its vertices";
                return false;
            }
            for (std::size_t i = 0; i < n; ++i) {
                const unsigned char* r = bytes + i * layout.recordBytes;
                for (int32_t k = 0; k < 3; ++k) {
                    v[k] = binaryValue(r + layout.offset[k], types[k], big);
                }
                if (!block.add(v[0], v[1], v[2])) {
                    return false;
                }
            }
            stream.consume(n * layout.recordBytes);
        }
        done += n;
        if (done % PointBlock::CAPACITY == 0 || done == vertex.count) {
            sink.progress(stream.offset());
        }
    }
    return block.flush();
}

// ---- ascii -------------------------------------------------------------------

// The data's fields one after another, across line ends.
class AsciiFields {
public:
    explicit AsciiFields(ByteStream& stream) : stream_(stream) { }

    bool next(std::string_view& field)
    {
        while (!cursor_.next(field)) {
            std::string_view line;
            if (stream_.nextLine(line) != LineStatus::Line) {
                return false;
            }
            cursor_ = FieldCursor(line);
        }
        return true;
    }

private:
    ByteStream& stream_;
    FieldCursor cursor_{std::string_view()};
};

// One record; the values of the properties in `wanted` go to `values`. Fields that
// nobody needs are passed over without being parsed.
bool walkAsciiRecord(AsciiFields& fields, ByteStream& stream, const PlyElement& element, const VertexLayout* wanted,
                     double* values, std::string& error)
{
    std::string_view field;
    for (std::size_t p = 0; p < element.properties.size(); ++p) {
        const PlyProperty& property = element.properties[p];
        if (!fields.next(field)) {
            error = "the PLY data ends inside a record of element \"" + shownText(element.name) + "\"";
            return false;
        }
        if (property.isList) {
            int64_t items = 0;
            if (!parseInteger(field, items) || items < 0 || static_cast<uint64_t>(items) > stream.remaining()) {
                error = "a PLY list count is not a whole number the file can hold";
                return false;
            }
            for (int64_t i = 0; i < items; ++i) {
                if (!fields.next(field)) {
                    error = "the PLY data ends inside a list";
                    return false;
                }
            }
            continue;
        }
        for (int32_t k = 0; wanted != nullptr && k < 3; ++k) {
            if (wanted->index[k] == p && !parseReal(field, values[k])) {
                error = "a PLY vertex coordinate is not a number";
                return false;
            }
        }
    }
    return true;
}

// Each record of an element with properties takes at least one byte.
bool asciiCountFits(const PlyElement& element, const ByteStream& stream, std::string& error)
{
    if (!element.properties.empty() && element.count > stream.remaining()) {
        error = "the PLY element \"" + shownText(element.name) + "\" announces " + std::to_string(element.count)
            + " records, more than the " + std::to_string(stream.remaining())
            + " bytes left can hold: the file is cut short";
        return false;
    }
    return true;
}

bool readAsciiData(ByteStream& stream, const PlyHeader& header, std::size_t vertexIndex, const VertexLayout& layout,
                   PointSink& sink, ReadOutcome& outcome)
{
    AsciiFields fields(stream);
    for (std::size_t e = 0; e < vertexIndex; ++e) {
        const PlyElement& element = header.elements[e];
        if (!asciiCountFits(element, stream, outcome.error)) {
            return false;
        }
        for (uint64_t r = 0; r < element.count && !element.properties.empty(); ++r) {
            if (!walkAsciiRecord(fields, stream, element, nullptr, nullptr, outcome.error)) {
                return false;
            }
        }
    }
    const PlyElement& vertex = header.elements[vertexIndex];
    if (!asciiCountFits(vertex, stream, outcome.error)) {
        return false;
    }
    sink.expectRecords(static_cast<int64_t>(vertex.count));
    PointBlock block(sink, outcome);
    for (uint64_t r = 0; r < vertex.count; ++r) {
        double v[3] = {};
        if (!walkAsciiRecord(fields, stream, vertex, &layout, v, outcome.error)) {
            outcome.error += " (vertex " + std::to_string(r + 1) + " of " + std::to_string(vertex.count) + ")";
            return false;
        }
        if (!block.add(v[0], v[1], v[2])) {
            return false;
        }
        if ((r + 1) % PointBlock::CAPACITY == 0) {
            sink.progress(stream.offset());
        }
    }
    sink.progress(stream.offset());
    return block.flush();
}

}  // namespace

ReadOutcome readPly(ByteSource& source, PointSink& sink)
{
    ReadOutcome outcome;
    ByteStream stream(source);
    PlyHeader header;
    if (!readPlyHeader(stream, header, outcome.error)) {
        return outcome;
    }
    std::size_t vertexIndex = 0;
    while (vertexIndex < header.elements.size() && header.elements[vertexIndex].name != "vertex") {
        ++vertexIndex;
    }
    if (vertexIndex == header.elements.size()) {
        outcome.error = "the PLY file has no vertex element";
        return outcome;
    }
    VertexLayout layout;
    if (!findVertexLayout(header.elements[vertexIndex], layout, outcome.error)) {
        return outcome;
    }
    if (header.encoding == PlyEncoding::Ascii) {
        outcome.ok = readAsciiData(stream, header, vertexIndex, layout, sink, outcome);
    } else {
        const bool big = header.encoding == PlyEncoding::BinaryBigEndian;
        for (std::size_t e = 0; e < vertexIndex; ++e) {
            if (!skipBinaryElement(stream, header.elements[e], big, outcome.error)) {
                if (outcome.error.empty()) {
                    outcome.error = "the PLY data ends inside element \"" + shownText(header.elements[e].name) + "\"";
                }
                return outcome;
            }
        }
        outcome.ok = readBinaryVertices(stream, header.elements[vertexIndex], layout, big, sink, outcome);
    }
    if (!outcome.ok && stream.failed()) {
        outcome.error = "a read error stopped the PLY data";
    }
    return outcome;
}
