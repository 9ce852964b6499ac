#pragma once

// The point file formats that the batch program, tavrin_import and the example survey
// generator name: one vocabulary for telling a file's format, refusing it, reading it
// and writing it. Needs nothing but the language.

#include <cstdint>

enum class PointFormat : int32_t {
    Bxyz,     ///< Tavrin binary points: POINT_RECORD_BYTES per point, no header
    Las,      ///< ASPRS LAS, uncompressed
    Ply,      ///< PLY, ASCII or binary
    Ptx,      ///< PTX text scans, each with its scanner pose
    Xyz,      ///< lines of x y z text (XYZ, PTS, CSV)
    Laz,      ///< compressed LAS
    E57,      ///< ASTM E57
    Unknown,  ///< none of these
};

/// Bytes of one point record in a .bxyz file: x, y, z as little-endian doubles, then
/// 8 bytes that readers ignore and writers leave 0.
inline constexpr int32_t POINT_RECORD_BYTES = 32;

/// The format's name in messages: "LAS", "PLY", "XYZ/PTS text", ...
constexpr const char* pointFormatName(PointFormat format)
{
    switch (format) {
    case PointFormat::Bxyz:
        return "bxyz";
    case PointFormat::Las:
        return "LAS";
    case PointFormat::Ply:
        return "PLY";
    case PointFormat::Ptx:
        return "PTX";
    case PointFormat::Xyz:
        return "XYZ/PTS text";
    case PointFormat::Laz:
        return "LAZ";
    case PointFormat::E57:
        return "E57";
    case PointFormat::Unknown:
        break;
    }
    return "unknown";
}

/// The file extension a writer gives the format, without the dot ("bxyz", "las", ...);
/// empty for formats that are only read.
constexpr const char* pointFormatExtension(PointFormat format)
{
    switch (format) {
    case PointFormat::Bxyz:
        return "bxyz";
    case PointFormat::Las:
        return "las";
    case PointFormat::Ply:
        return "ply";
    case PointFormat::Ptx:
        return "ptx";
    case PointFormat::E57:
        return "e57";
    default:
        break;
    }
    return "";
}
