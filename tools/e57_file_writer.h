#pragma once

// A survey as one E57 file, as a scanner's software exports it: each scan one entry of
// the data3D vector with its name, its pose (scanner frame to the file's frame) and its
// points in the scanner's own frame. The points leave in 1024-byte pages, each 1020
// bytes and their CRC-32C, as they arrive; a scan's section header is mended in place
// once its length is known, and the XML section and the file header come last.

#include "batch/replacement_file.h"
#include "tools/scan_sampler.h"

#include <cstdint>
#include <string>
#include <vector>

/// How a scan's coordinates are stored.
enum class E57Number : int32_t {
    ScaledInteger,  ///< bit-packed integers of `scale` metres
    Single,         ///< IEEE single floats
    Double,         ///< IEEE double floats
};

struct E57ScanLayout {
    E57Number number = E57Number::ScaledInteger;
    double scale = 0.0001;      ///< ScaledInteger: metres per step (angles: radians per step / 10^4)
    double reach = 1000.0;      ///< ScaledInteger: metres either side of the scanner the integers cover
    bool spherical = false;     ///< range, azimuth, elevation instead of x, y, z
    bool invalidState = false;  ///< an invalid-state field: 2 for a point at exactly 0 0 0 (no return), else 0
    /// Records of a data packet, at most 1024 (three doubles and a state of each stay inside
    /// 64 KiB); a number that is no multiple of 8 leaves values split between packets.
    std::size_t recordsPerPacket = 1024;
    bool leadingPackets = false;  ///< an index packet and an empty packet before the data packets
};

/// The bits of a bit-packed bytestream not yet written out: fewer than 8 between values.
struct E57BitCarry {
    uint64_t word = 0;  ///< the bits, from bit 0
    int32_t used = 0;   ///< how many
};

/// Where a scan stands: file point = rotation * scanner point + translation.
struct E57ScanPose {
    std::string name;                                  ///< the scan's name
    double rotation[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};  ///< row-major, a rotation matrix
    double translation[3] = {0, 0, 0};                 ///< metres, the scanner origin in the file's frame
};

/// The unit quaternion w, x, y, z (w >= 0) of a row-major rotation matrix.
void rotationQuaternion(const double* rotation, double* quaternion);

class E57FileWriter {
public:
    /// Creates the file under its temporary name ("<path>.part"); false (with "Cannot
    /// create <path>") when it cannot be created.
    bool open(const std::string& path);
    /// Starts the next scan; its points follow through append().
    bool beginScan(const E57ScanPose& pose, const E57ScanLayout& layout);
    /// Appends scanner-frame points (x, y, z of each) to the scan; false once anything failed.
    bool append(const std::vector<ScanPoint>& points);
    /// Ends the scan: its last packet and its section length.
    bool endScan();
    /// Writes the XML section and the header and puts the file in its place; false (with
    /// "Cannot write <path>", and no file left) when any write failed or a point lay
    /// beyond its scaled integers.
    bool finish();
    /// Gives page `page` (0-based) a wrong checksum, as a damaged file has.
    void damagePage(int64_t page) { damagedPage_ = page; }

private:
    struct Field {
        std::string xml;      ///< the prototype element
        int64_t minimum = 0;  ///< ScaledInteger, Integer
        double scale = 1.0;   ///< ScaledInteger
        int32_t bits = 0;     ///< bits of one value
        E57Number number = E57Number::ScaledInteger;
        bool integer = false;  ///< the invalid state, stored as it is
        E57BitCarry carry;     ///< integers: the bytestream's bits not yet in a packet
    };
    struct ScanEntry {
        E57ScanPose pose;
        std::vector<Field> fields;
        bool spherical = false;     ///< range, azimuth, elevation
        uint64_t sectionStart = 0;  ///< logical offset of the section header
        int64_t records = 0;
        std::size_t recordsPerPacket = 1024;
    };

    void put(const void* data, std::size_t count);
    void writeContent(uint64_t page, const std::vector<unsigned char>& content);
    bool writePage();
    void patch(uint64_t logical, const unsigned char* data, std::size_t count);
    void writePacket(bool last);
    bool encode(const ScanPoint& p);
    std::string scanXml(std::size_t index) const;
    bool closeFile();

    ReplacementFile file_;  ///< "<path>.part" until finish() puts it in place
    std::string path_;
    std::vector<unsigned char> page_;  ///< content of the page being filled
    uint64_t pagesWritten_ = 0;
    int64_t damagedPage_ = -1;
    struct KeptPage {
        uint64_t page = 0;
        std::vector<unsigned char> content;  ///< as written, PAGE_CONTENT bytes
    };
    std::vector<KeptPage> kept_;  ///< written pages that patch() may still mend
    uint64_t keepFrom_ = 0;       ///< pages of the current section header: keepFrom_ .. keepTo_
    uint64_t keepTo_ = 0;
    std::vector<ScanEntry> scans_;
    std::vector<std::vector<double>> pending_;  ///< per field, the values of the packet being filled
    bool inScan_ = false;
    bool failed_ = false;
    bool outOfReach_ = false;
};
