#include "import/ply_header.h"

#include "import/text_fields.h"

namespace {

// A header longer than this is not one a point-cloud program wrote.
constexpr uint64_t MAX_HEADER_BYTES = uint64_t{16} << 20;

struct TypeName {
    const char* name;
    PlyType type;
};

constexpr TypeName TYPE_NAMES[] = {
    {"char", PlyType::Int8},       {"int8", PlyType::Int8},       {"uchar", PlyType::UInt8},
    {"uint8", PlyType::UInt8},     {"short", PlyType::Int16},     {"int16", PlyType::Int16},
    {"ushort", PlyType::UInt16},   {"uint16", PlyType::UInt16},   {"int", PlyType::Int32},
    {"int32", PlyType::Int32},     {"uint", PlyType::UInt32},     {"uint32", PlyType::UInt32},
    {"float", PlyType::Float32},   {"float32", PlyType::Float32}, {"double", PlyType::Float64},
    {"float64", PlyType::Float64},
};

bool typeNamed(std::string_view name, PlyType& type)
{
    for (const TypeName& t : TYPE_NAMES) {
        if (name == t.name) {
            type = t.type;
            return true;
        }
    }
    return false;
}

std::string quoted(std::string_view text) { return "\"" + shownText(text) + "\""; }

bool parseFormat(FieldCursor& fields, PlyHeader& header, std::string& error)
{
    std::string_view encoding;
    std::string_view version;
    fields.next(encoding);
    if (encoding == "ascii") {
        header.encoding = PlyEncoding::Ascii;
    } else if (encoding == "binary_little_endian") {
        header.encoding = PlyEncoding::BinaryLittleEndian;
    } else if (encoding == "binary_big_endian") {
        header.encoding = PlyEncoding::BinaryBigEndian;
    } else {
        error = "the PLY format " + quoted(encoding) + " is not ascii, binary_little_endian or binary_big_endian";
        return false;
    }
    if (!fields.next(version) || version.substr(0, 2) != "1." || !fields.atEnd()) {
        error = "the PLY format line does not give version 1.x";
        return false;
    }
    return true;
}

bool parseElement(FieldCursor& fields, PlyHeader& header, std::string& error)
{
    std::string_view name;
    std::string_view count;
    int64_t n = 0;
    if (!fields.next(name) || !fields.next(count) || !parseInteger(count, n) || n < 0 || !fields.atEnd()) {
        error = "a PLY element line is not \"element NAME COUNT\"";
        return false;
    }
    header.elements.push_back(PlyElement{std::string(name), static_cast<uint64_t>(n), {}});
    return true;
}

bool parseProperty(FieldCursor& fields, PlyHeader& header, std::string& error)
{
    if (header.elements.empty()) {
        error = "a PLY property comes before any element";
        return false;
    }
    PlyProperty property;
    std::string_view word;
    std::string_view name;
    bool ok = fields.next(word);
    if (ok && word == "list") {
        property.isList = true;
        std::string_view countType;
        ok = fields.next(countType) && typeNamed(countType, property.countType) && fields.next(word);
        // A list count must be a whole number.
        ok = ok && property.countType != PlyType::Float32 && property.countType != PlyType::Float64;
    }
    ok = ok && typeNamed(word, property.type) && fields.next(name) && fields.atEnd();
    if (!ok) {
        error = "a PLY property line is not \"property TYPE NAME\" or \"property list TYPE TYPE NAME\" "
                "with known types";
        return false;
    }
    property.name = std::string(name);
    header.elements.back().properties.push_back(property);
    return true;
}

}  // namespace

std::size_t plyTypeBytes(PlyType type)
{
    switch (type) {
    case PlyType::Int8:
    case PlyType::UInt8:
        return 1;
    case PlyType::Int16:
    case PlyType::UInt16:
        return 2;
    case PlyType::Int32:
    case PlyType::UInt32:
    case PlyType::Float32:
        return 4;
    case PlyType::Float64:
        return 8;
    }
    return 8;
}

bool readPlyHeader(ByteStream& stream, PlyHeader& header, std::string& error)
{
    std::string_view line;
    if (stream.nextLine(line) != LineStatus::Line || line != "ply") {
        error = "the file does not start with a PLY header";
        return false;
    }
    bool haveFormat = false;
    for (;;) {
        if (stream.offset() > MAX_HEADER_BYTES) {
            error = "the PLY header goes on for more than 16 MiB";
            return false;
        }
        const LineStatus status = stream.nextLine(line);
        if (status != LineStatus::Line) {
            error = status == LineStatus::TooLong ? "a PLY header line is longer than 1 MiB"
                                                  : "the PLY header has no end_header line";
            return false;
        }
        FieldCursor fields(line);
        std::string_view keyword;
        if (!fields.next(keyword) || keyword == "comment" || keyword == "obj_info") {
            continue;
        }
        bool ok = true;
        if (keyword == "end_header") {
            break;
        } else if (keyword == "format") {
            ok = !haveFormat && parseFormat(fields, header, error);
            haveFormat = true;
        } else if (keyword == "element") {
            ok = parseElement(fields, header, error);
        } else if (keyword == "property") {
            ok = parseProperty(fields, header, error);
        } else {
            error = "the PLY header holds an unknown line starting " + quoted(keyword);
            ok = false;
        }
        if (!ok) {
            if (error.empty()) {
                error = "the PLY header has two format lines";
            }
            return false;
        }
    }
    if (!haveFormat) {
        error = "the PLY header has no format line";
        return false;
    }
    header.dataOffset = stream.offset();
    return true;
}
