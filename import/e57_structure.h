#pragma once
// The XML section of an E57 file as plain records: the scans of its data3D vector,
// each with its name, its pose and the layout of its points, the prototype of their
// compressed vector, whose every field has a bytestream of its own, in prototype order.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class E57FieldKind : int32_t {
    Integer,        ///< bit-packed integer between minimum and maximum
    ScaledInteger,  ///< bit-packed integer, value = integer * scale + offset
    Float,          ///< IEEE single (32 bits) or double (64 bits), little-endian
    Other,          ///< a string: its bytestream is never decoded
};

struct E57Field {
    std::string name;  ///< "cartesianX", "colorRed"; "a/b" inside a structure of the prototype
    E57FieldKind kind = E57FieldKind::Other;
    int64_t minimum = 0;  ///< Integer, ScaledInteger: smallest stored integer
    int64_t maximum = 0;  ///< largest stored integer
    double scale = 1.0;   ///< ScaledInteger: metres (or radians) per step of the integer
    double offset = 0.0;  ///< ScaledInteger: added after scaling
    int32_t bits = 0;     ///< bits of one value in the bytestream (0 for a constant integer)
};

enum class E57Coordinates : int32_t { None, Cartesian, Spherical };

struct E57Scan {
    std::string name;                             ///< the scan's name as written; empty when it has none
    bool hasPose = false;                         ///< without a pose the scan's frame is the file's
    double quaternion[4] = {1.0, 0.0, 0.0, 0.0};  ///< w, x, y, z as written
    double rotation[3][3] = {{1.0, 0.0, 0.0}, {0.0, 1.0, 0.0}, {0.0, 0.0, 1.0}};  ///< of the normalised quaternion
    double translation[3] = {0.0, 0.0, 0.0};  ///< metres: file point = rotation * scanner point + translation
    uint64_t sectionOffset = 0;               ///< physical offset of the binary section of the points
    int64_t records = 0;                      ///< point records announced
    std::vector<E57Field> fields;             ///< the prototype's fields, one bytestream each, in order
    E57Coordinates coordinates = E57Coordinates::None;
    int32_t xyz[3] = {-1, -1, -1};  ///< fields of x, y, z, or of range, azimuth, elevation
    int32_t invalid = -1;           ///< field of the coordinates' invalid state, -1 when there is none
    std::string problem;            ///< why the points cannot be read; empty when they can
};

struct E57Contents {
    std::vector<E57Scan> scans;  ///< in data3D order; scan K of the command line is scans[K - 1]
};

/// Parses the XML section. false with `error` set only when it does not parse or is no
/// E57 root; a scan that cannot be read gets its `problem` instead, so that the others
/// still can.
bool parseE57Structure(const char* xml, std::size_t size, E57Contents& contents, std::string& error);
