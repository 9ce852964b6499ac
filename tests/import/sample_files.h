#pragma once
// Small input files built byte by byte for the importer's tests, and a sink that
// keeps what a reader hands it.

#include "import/point_sink.h"
#include "tools/e57_file_writer.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

using Vec3 = std::array<double, 3>;

/// Appends fixed-width values in a chosen byte order.
class Bytes {
public:
    template <typename T>
    Bytes& le(T value)
    {
        return put(value, false);
    }
    template <typename T>
    Bytes& be(T value)
    {
        return put(value, true);
    }
    Bytes& text(const std::string& s)
    {
        data += s;
        return *this;
    }
    Bytes& zeros(std::size_t n)
    {
        data.append(n, '\0');
        return *this;
    }

    std::string data;

private:
    template <typename T>
    Bytes& put(T value, bool bigEndian)
    {
        unsigned char raw[sizeof(T)];
        std::memcpy(raw, &value, sizeof raw);  // the test machine is little-endian
        for (std::size_t k = 0; k < sizeof raw; ++k) {
            data += static_cast<char>(raw[bigEndian ? sizeof raw - 1 - k : k]);
        }
        return *this;
    }
};

struct LasSample {
    int versionMinor = 2;
    int format = 1;
    int extraBytes = 0;                          ///< added to the format's own record length
    std::vector<std::array<int32_t, 3>> points;  ///< stored integers
    double scale[3] = {0.01, 0.01, 0.01};
    double offset[3] = {0.0, 0.0, 0.0};
    std::string vlrs;  ///< variable-length records, as built by lasVlr
    uint32_t vlrCount = 0;
    bool legacyCount = true;  ///< false leaves the 32-bit count 0 (1.4 only)
};

/// A whole LAS file; the header size follows the version (227, 235 or 375 bytes).
std::string lasFile(const LasSample& sample);
std::string lasVlr(const std::string& userId, uint16_t recordId, const std::string& payload);
/// Offset of the point format byte and of the point data offset in every LAS header.
constexpr std::size_t LAS_FORMAT_BYTE = 104;
constexpr std::size_t LAS_POINT_OFFSET = 96;

/// One PTX scan: header with the given position and transform (four rows), then the lines.
std::string ptxScan(int columns, int rows, const Vec3& position, const std::array<std::array<double, 4>, 4>& transform,
                    const std::vector<std::string>& pointLines);
/// The identity transform with a translation in the last row.
std::array<std::array<double, 4>, 4> ptxTranslation(double x, double y, double z);

/// One scan of an E57 file written by the example generator's E57 writer.
struct E57Sample {
    E57ScanPose pose;
    E57ScanLayout layout;
    std::vector<ScanPoint> points;  ///< scanner frame; x, y, z only
};

/// A whole E57 file; `damagedPage` >= 0 gets a wrong checksum.
std::string e57File(const std::vector<E57Sample>& scans, int64_t damagedPage = -1);
/// Scanner-frame points with x, y, z set.
std::vector<ScanPoint> scanPoints(const std::vector<Vec3>& points);
/// Rz(a3) Ry(a2) Rx(a1), radians, row-major, with std::cos and std::sin.
void rotationOf(double a1, double a2, double a3, double* m);

/// The points of a .bxyz file; fails the test when a record's last 8 bytes are not zero.
std::vector<Vec3> bxyzPoints(const std::string& bytes);

class TempDir;

/// What a run of tavrin_import printed and how it ended.
struct ProgramRun {
    int status = -1;
    std::string out;
    std::string err;
};

/// Runs tavrin_import in `dir` with the arguments (a shell line; `prefix` goes before it).
ProgramRun runImporter(const TempDir& dir, const std::string& arguments, const std::string& prefix = "");
/// The test program was built knowing where tavrin_import is.
bool haveImporter();

class CollectingSink : public PointSink {
public:
    void setScannerPosition(const ImportedPoint& p) override { scanner = {p.x, p.y, p.z}; }
    void expectRecords(int64_t records) override { expected = records; }
    void progress(uint64_t) override { }
    bool take(const ImportedPoint* p, std::size_t n) override
    {
        for (std::size_t i = 0; i < n; ++i) {
            points.push_back({p[i].x, p[i].y, p[i].z});
        }
        return true;
    }

    std::vector<Vec3> points;
    Vec3 scanner{0.0, 0.0, 0.0};
    int64_t expected = -1;
};

/// Reads `bytes` with the reader for `format` ("las", "ply", "ptx", "xyz", "e57": scan 1 in
/// the scanner's frame).
ReadOutcome readSample(const char* format, const std::string& bytes, CollectingSink& sink);

int64_t droppedFor(const ReadOutcome& outcome, DropReason reason);
