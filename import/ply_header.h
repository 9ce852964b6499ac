#pragma once
// The header of a PLY file: its encoding and the layout of every element.

#include "import/byte_stream.h"

#include <cstdint>
#include <string>
#include <vector>

enum class PlyEncoding { Ascii, BinaryLittleEndian, BinaryBigEndian };

enum class PlyType { Int8, UInt8, Int16, UInt16, Int32, UInt32, Float32, Float64 };

struct PlyProperty {
    std::string name;
    PlyType type = PlyType::Float32;     ///< the value's type, or a list's item type
    bool isList = false;                 ///< a count followed by that many items
    PlyType countType = PlyType::UInt8;  ///< type of a list's count
};

struct PlyElement {
    std::string name;
    uint64_t count = 0;                   ///< records of this element in the data
    std::vector<PlyProperty> properties;  ///< in the order of the fields of a record
};

struct PlyHeader {
    PlyEncoding encoding = PlyEncoding::Ascii;
    std::vector<PlyElement> elements;  ///< in the order of the data
    uint64_t dataOffset = 0;           ///< bytes from the start of the file to the first record
};

/// Reads the header from the start of the stream, leaving the stream at the data.
/// false with `error` set when the header is broken or incomplete.
bool readPlyHeader(ByteStream& stream, PlyHeader& header, std::string& error);

/// Bytes of one binary value of the type.
std::size_t plyTypeBytes(PlyType type);
