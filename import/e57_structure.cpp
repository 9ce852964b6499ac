#include "import/e57_structure.h"

#include <pugixml.hpp>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

// Deeper structures inside a prototype are not point records any scanner writes.
constexpr int32_t MAX_PROTOTYPE_DEPTH = 8;

bool isType(const pugi::xml_node& node, const char* type)
{
    return std::strcmp(node.attribute("type").value(), type) == 0;
}

// Whole text, optional blanks around it; an empty text is 0, as E57 writes a zero.
bool parseInt64(const char* text, int64_t& value)
{
    while (*text == ' ' || *text == '\t' || *text == '\n' || *text == '\r') {
        ++text;
    }
    if (*text == '\0') {
        value = 0;
        return true;
    }
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text, &end, 10);
    while (*end == ' ' || *end == '\t' || *end == '\n' || *end == '\r') {
        ++end;
    }
    if (end == text || *end != '\0' || errno == ERANGE) {
        return false;
    }
    value = v;
    return true;
}

bool parseUint64(const char* text, uint64_t& value)
{
    int64_t v = 0;
    if (*text == '\0' || !parseInt64(text, v) || v < 0) {
        return false;
    }
    value = static_cast<uint64_t>(v);
    return true;
}

bool parseDouble(const char* text, double& value)
{
    const char* start = text;
    while (*start == ' ' || *start == '\t' || *start == '\n' || *start == '\r') {
        ++start;
    }
    if (*start == '\0') {
        value = 0.0;
        return true;
    }
    char* end = nullptr;
    const double v = std::strtod(start, &end);
    while (*end == ' ' || *end == '\t' || *end == '\n' || *end == '\r') {
        ++end;
    }
    if (end == start || *end != '\0' || !std::isfinite(v)) {
        return false;
    }
    value = v;
    return true;
}

// An attribute that may be left out; false when it is there but no number.
bool intAttribute(const pugi::xml_node& node, const char* name, int64_t fallback, int64_t& value)
{
    const pugi::xml_attribute a = node.attribute(name);
    if (!a) {
        value = fallback;
        return true;
    }
    return a.value()[0] != '\0' && parseInt64(a.value(), value);
}

bool realAttribute(const pugi::xml_node& node, const char* name, double fallback, double& value)
{
    const pugi::xml_attribute a = node.attribute(name);
    if (!a) {
        value = fallback;
        return true;
    }
    return a.value()[0] != '\0' && parseDouble(a.value(), value);
}

int32_t bitsFor(int64_t minimum, int64_t maximum)
{
    uint64_t span = static_cast<uint64_t>(maximum) - static_cast<uint64_t>(minimum);
    int32_t bits = 0;
    while (span != 0) {
        ++bits;
        span >>= 1;
    }
    return bits;
}

// One leaf of the prototype; false with `problem` set when it cannot be decoded.
bool readField(const pugi::xml_node& node, const std::string& name, E57Field& field, std::string& problem)
{
    field.name = name;
    if (isType(node, "Integer") || isType(node, "ScaledInteger")) {
        const bool scaled = isType(node, "ScaledInteger");
        field.kind = scaled ? E57FieldKind::ScaledInteger : E57FieldKind::Integer;
        const bool ok = intAttribute(node, "minimum", INT64_MIN, field.minimum)
            && intAttribute(node, "maximum", INT64_MAX, field.maximum) && field.minimum <= field.maximum
            && (!scaled
                || (realAttribute(node, "scale", 1.0, field.scale) && realAttribute(node, "offset", 0.0, field.offset)
                    && field.scale != 0.0));
        if (!ok) {
            problem = "the field " + name + " has an unusable minimum, maximum, scale or offset";
            return false;
        }
        field.bits = bitsFor(field.minimum, field.maximum);
        return true;
    }
    if (isType(node, "Float")) {
        field.kind = E57FieldKind::Float;
        const char* precision = node.attribute("precision").value();
        if (precision[0] == '\0' || std::strcmp(precision, "double") == 0) {
            field.bits = 64;
        } else if (std::strcmp(precision, "single") == 0) {
            field.bits = 32;
        } else {
            problem = "the field " + name + " has the precision \"" + precision + "\"";
            return false;
        }
        return true;
    }
    if (isType(node, "String")) {
        field.kind = E57FieldKind::Other;
        return true;
    }
    problem = "the field " + name + " of its points is of type \"" + node.attribute("type").value()
        + "\", which no point record holds";
    return false;
}

// The leaves of a structure in document order, as the bytestreams follow them.
bool flatten(const pugi::xml_node& structure, const std::string& prefix, int32_t depth, E57Scan& scan)
{
    for (const pugi::xml_node& child : structure.children()) {
        if (child.type() != pugi::node_element) {
            continue;
        }
        const std::string name = prefix + child.name();
        if (isType(child, "Structure")) {
            if (depth >= MAX_PROTOTYPE_DEPTH) {
                scan.problem = "the layout of its points nests structures more than 8 deep";
                return false;
            }
            if (!flatten(child, name + "/", depth + 1, scan)) {
                return false;
            }
            continue;
        }
        E57Field field;
        if (!readField(child, name, field, scan.problem)) {
            return false;
        }
        scan.fields.push_back(field);
    }
    return true;
}

int32_t numericField(const E57Scan& scan, const char* name)
{
    for (std::size_t k = 0; k < scan.fields.size(); ++k) {
        if (scan.fields[k].name == name && scan.fields[k].kind != E57FieldKind::Other) {
            return static_cast<int32_t>(k);
        }
    }
    return -1;
}

void findCoordinates(E57Scan& scan)
{
    static const char* const CARTESIAN[3] = {"cartesianX", "cartesianY", "cartesianZ"};
    static const char* const SPHERICAL[3] = {"sphericalRange", "sphericalAzimuth", "sphericalElevation"};
    for (const E57Coordinates kind : {E57Coordinates::Cartesian, E57Coordinates::Spherical}) {
        const char* const* names = kind == E57Coordinates::Cartesian ? CARTESIAN : SPHERICAL;
        int32_t found[3];
        for (int32_t k = 0; k < 3; ++k) {
            found[k] = numericField(scan, names[k]);
        }
        if (found[0] >= 0 && found[1] >= 0 && found[2] >= 0) {
            scan.coordinates = kind;
            std::memcpy(scan.xyz, found, sizeof found);
            scan.invalid = numericField(
                scan, kind == E57Coordinates::Cartesian ? "cartesianInvalidState" : "sphericalInvalidState");
            return;
        }
    }
    scan.problem = "its points have no coordinates (neither cartesianX, cartesianY and cartesianZ nor "
                   "sphericalRange, sphericalAzimuth and sphericalElevation)";
}

// file point = R scanner point + t, R of the unit quaternion (w, x, y, z).
bool readPose(const pugi::xml_node& pose, E57Scan& scan)
{
    const pugi::xml_node rotation = pose.child("rotation");
    const pugi::xml_node translation = pose.child("translation");
    static const char* const Q[4] = {"w", "x", "y", "z"};
    bool ok = true;
    for (int32_t k = 0; k < 4 && rotation; ++k) {
        ok = ok && parseDouble(rotation.child(Q[k]).text().get(), scan.quaternion[k]);
    }
    for (int32_t k = 0; k < 3 && translation; ++k) {
        ok = ok && parseDouble(translation.child(Q[k + 1]).text().get(), scan.translation[k]);
    }
    double* q = scan.quaternion;
    const double norm = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    if (!ok || !(norm > 1e-9) || !std::isfinite(norm)) {
        scan.problem = "its pose is not a rotation quaternion and a translation of finite numbers";
        return false;
    }
    const double w = q[0] / norm, x = q[1] / norm, y = q[2] / norm, z = q[3] / norm;
    double(*r)[3] = scan.rotation;
    r[0][0] = 1 - 2 * (y * y + z * z);
    r[0][1] = 2 * (x * y - w * z);
    r[0][2] = 2 * (x * z + w * y);
    r[1][0] = 2 * (x * y + w * z);
    r[1][1] = 1 - 2 * (x * x + z * z);
    r[1][2] = 2 * (y * z - w * x);
    r[2][0] = 2 * (x * z - w * y);
    r[2][1] = 2 * (y * z + w * x);
    r[2][2] = 1 - 2 * (x * x + y * y);
    scan.hasPose = true;
    return true;
}

void readPoints(const pugi::xml_node& points, E57Scan& scan)
{
    uint64_t records = 0;
    if (!points || !isType(points, "CompressedVector")
        || !parseUint64(points.attribute("fileOffset").value(), scan.sectionOffset)
        || !parseUint64(points.attribute("recordCount").value(), records)) {
        scan.problem = "its points are no compressed vector with a file offset and a record count";
        return;
    }
    scan.records = static_cast<int64_t>(records);
    for (const pugi::xml_node& codec : points.child("codecs").children()) {
        if (codec.type() == pugi::node_element) {
            scan.problem = "its points are encoded with a codec other than bit packing, which this program "
                           "does not read";
            return;
        }
    }
    const pugi::xml_node prototype = points.child("prototype");
    if (!prototype || !isType(prototype, "Structure")) {
        scan.problem = "its points have no prototype structure that lays out their fields";
        return;
    }
    if (flatten(prototype, "", 0, scan)) {
        findCoordinates(scan);
    }
}

E57Scan readScan(const pugi::xml_node& node)
{
    E57Scan scan;
    scan.name = node.child("name").text().get();
    // The points first: their record count stands in the summary even when the pose is broken.
    readPoints(node.child("points"), scan);
    const pugi::xml_node pose = node.child("pose");
    if (pose && scan.problem.empty()) {
        readPose(pose, scan);
    }
    return scan;
}

}  // namespace

bool parseE57Structure(const char* xml, std::size_t size, E57Contents& contents, std::string& error)
{
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_buffer(xml, size, pugi::parse_default, pugi::encoding_utf8);
    if (!parsed) {
        error = std::string("the XML section does not parse (") + parsed.description() + " at byte "
            + std::to_string(parsed.offset) + " of it)";
        return false;
    }
    const pugi::xml_node root = document.child("e57Root");
    if (!root) {
        error = "the XML section has no e57Root element";
        return false;
    }
    contents.scans.clear();
    for (const pugi::xml_node& child : root.child("data3D").children()) {
        if (child.type() == pugi::node_element) {
            contents.scans.push_back(readScan(child));
        }
    }
    return true;
}
