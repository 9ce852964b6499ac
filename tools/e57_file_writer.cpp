#include "tools/e57_file_writer.h"

#include "import/crc32c.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::size_t PAGE_BYTES = 1024;
constexpr std::size_t PAGE_CONTENT = 1020;
constexpr std::size_t HEADER_BYTES = 48;
constexpr std::size_t SECTION_HEADER_BYTES = 32;
constexpr double PI = 3.14159265358979323846;
constexpr double ANGLE_STEPS_PER_METRE_STEP = 1e-4;  // radians per step = metres per step * this

void putLittleEndian(unsigned char* out, uint64_t bits, int32_t bytes)
{
    for (int32_t k = 0; k < bytes; ++k) {
        out[k] = static_cast<unsigned char>(bits >> (8 * k));
    }
}

int32_t bitsFor(int64_t minimum, int64_t maximum)
{
    uint64_t span = static_cast<uint64_t>(maximum) - static_cast<uint64_t>(minimum);
    int32_t bits = 0;
    for (; span != 0; span >>= 1) {
        ++bits;
    }
    return bits;
}

// Values of `bits` bits (1 to 64), least significant bit first. Whole bytes leave as
// they fill; the bits of a byte not yet full wait for the next packet, since a bytestream
// runs on from packet to packet.
void putBits(E57BitCarry& c, uint64_t value, int32_t bits, std::vector<unsigned char>& out)
{
    while (bits > 0) {
        const int32_t take = bits < 64 - c.used ? bits : 64 - c.used;
        const uint64_t part = take == 64 ? value : value & ((uint64_t{1} << take) - 1);
        c.word |= part << c.used;
        c.used += take;
        value = take == 64 ? 0 : value >> take;
        bits -= take;
        for (; c.used >= 8; c.used -= 8) {
            out.push_back(static_cast<unsigned char>(c.word));
            c.word >>= 8;
        }
    }
}

// The last bits of a bytestream, padded with zeros to a byte.
void finishBits(E57BitCarry& c, std::vector<unsigned char>& out)
{
    if (c.used > 0) {
        out.push_back(static_cast<unsigned char>(c.word));
    }
    c = E57BitCarry();
}

std::string xmlText(const std::string& text)
{
    std::string out;
    for (char c : text) {
        out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : std::string(1, c);
    }
    return out;
}

std::string real(double v)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

std::string floatElement(const char* name, double v)
{
    return std::string("<") + name + " type=\"Float\">" + real(v) + "</" + name + ">";
}

}  // namespace

void rotationQuaternion(const double* m, double* q)
{
    const double trace = m[0] + m[4] + m[8];
    if (trace > 0.0) {
        const double s = std::sqrt(trace + 1.0) * 2.0;
        q[0] = 0.25 * s;
        q[1] = (m[7] - m[5]) / s;
        q[2] = (m[2] - m[6]) / s;
        q[3] = (m[3] - m[1]) / s;
    } else if (m[0] > m[4] && m[0] > m[8]) {
        const double s = std::sqrt(1.0 + m[0] - m[4] - m[8]) * 2.0;
        q[0] = (m[7] - m[5]) / s;
        q[1] = 0.25 * s;
        q[2] = (m[1] + m[3]) / s;
        q[3] = (m[2] + m[6]) / s;
    } else if (m[4] > m[8]) {
        const double s = std::sqrt(1.0 + m[4] - m[0] - m[8]) * 2.0;
        q[0] = (m[2] - m[6]) / s;
        q[1] = (m[1] + m[3]) / s;
        q[2] = 0.25 * s;
        q[3] = (m[5] + m[7]) / s;
    } else {
        const double s = std::sqrt(1.0 + m[8] - m[0] - m[4]) * 2.0;
        q[0] = (m[3] - m[1]) / s;
        q[1] = (m[2] + m[6]) / s;
        q[2] = (m[5] + m[7]) / s;
        q[3] = 0.25 * s;
    }
    if (q[0] < 0.0) {
        for (int32_t k = 0; k < 4; ++k) {
            q[k] = -q[k];
        }
    }
}

bool E57FileWriter::open(const std::string& path)
{
    path_ = path;
    std::string reason;
    if (!file_.open(path, reason)) {
        std::fprintf(stderr, "Cannot create %s\n", path.c_str());
        return false;
    }
    page_.assign(HEADER_BYTES, 0);  // the header, written last
    pagesWritten_ = 0;
    scans_.clear();
    kept_.clear();
    keepFrom_ = keepTo_ = 0;
    inScan_ = failed_ = outOfReach_ = false;
    return true;
}

// Writes the content of page `page` and its checksum where the file stands.
void E57FileWriter::writeContent(uint64_t page, const std::vector<unsigned char>& content)
{
    uint32_t crc = crc32c(content.data(), PAGE_CONTENT);
    if (static_cast<int64_t>(page) == damagedPage_) {
        crc ^= 1u;
    }
    const unsigned char stored[4] = {static_cast<unsigned char>(crc >> 24), static_cast<unsigned char>(crc >> 16),
                                     static_cast<unsigned char>(crc >> 8), static_cast<unsigned char>(crc)};
    failed_ = failed_ || std::fwrite(content.data(), 1, PAGE_CONTENT, file_.file()) != PAGE_CONTENT
        || std::fwrite(stored, 1, 4, file_.file()) != 4;
}

// Page 0 (the file header) and the pages of the section header of the scan being
// written are kept, so that patch() can mend them without reading the file back.
bool E57FileWriter::writePage()
{
    page_.resize(PAGE_CONTENT, 0);
    if (pagesWritten_ == 0 || (pagesWritten_ >= keepFrom_ && pagesWritten_ <= keepTo_)) {
        kept_.push_back(KeptPage{pagesWritten_, page_});
    }
    writeContent(pagesWritten_, page_);
    ++pagesWritten_;
    page_.clear();
    return !failed_;
}

void E57FileWriter::put(const void* data, std::size_t count)
{
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    while (count > 0 && !failed_) {
        const std::size_t n = count < PAGE_CONTENT - page_.size() ? count : PAGE_CONTENT - page_.size();
        page_.insert(page_.end(), bytes, bytes + n);
        bytes += n;
        count -= n;
        if (page_.size() == PAGE_CONTENT) {
            writePage();
        }
    }
}

// Rewrites logical bytes already put: in the page being filled, or in a kept page,
// which is written again in its place with its new checksum.
void E57FileWriter::patch(uint64_t logical, const unsigned char* data, std::size_t count)
{
    for (std::size_t k = 0; k < count && !failed_;) {
        const uint64_t page = (logical + k) / PAGE_CONTENT;
        const std::size_t at = static_cast<std::size_t>((logical + k) % PAGE_CONTENT);
        const std::size_t n = count - k < PAGE_CONTENT - at ? count - k : PAGE_CONTENT - at;
        if (page == pagesWritten_) {
            std::memcpy(page_.data() + at, data + k, n);
        } else {
            const auto kept =
                std::find_if(kept_.begin(), kept_.end(), [page](const KeptPage& p) { return p.page == page; });
            std::FILE* f = file_.file();
            failed_ = kept == kept_.end() || std::fseek(f, static_cast<long>(page * PAGE_BYTES), SEEK_SET) != 0;
            if (!failed_) {
                std::memcpy(kept->content.data() + at, data + k, n);
                writeContent(page, kept->content);
            }
            failed_ = failed_ || std::fseek(f, 0, SEEK_END) != 0;
        }
        k += n;
    }
}

bool E57FileWriter::beginScan(const E57ScanPose& pose, const E57ScanLayout& layout)
{
    if (!file_.isOpen() || inScan_ || failed_) {
        return false;
    }
    ScanEntry scan;
    scan.pose = pose;
    scan.spherical = layout.spherical;
    scan.sectionStart = pagesWritten_ * PAGE_CONTENT + page_.size();
    keepFrom_ = scan.sectionStart / PAGE_CONTENT;
    keepTo_ = (scan.sectionStart + SECTION_HEADER_BYTES - 1) / PAGE_CONTENT;
    static const char* const CARTESIAN[3] = {"cartesianX", "cartesianY", "cartesianZ"};
    static const char* const SPHERICAL[3] = {"sphericalRange", "sphericalAzimuth", "sphericalElevation"};
    for (int32_t k = 0; k < 3; ++k) {
        Field f;
        f.number = layout.number;
        const char* name = layout.spherical ? SPHERICAL[k] : CARTESIAN[k];
        const bool angle = layout.spherical && k > 0;
        if (layout.number == E57Number::ScaledInteger) {
            f.scale = angle ? layout.scale * ANGLE_STEPS_PER_METRE_STEP : layout.scale;
            const double reach = angle ? (k == 1 ? PI : PI / 2) : layout.reach;
            const int64_t steps = static_cast<int64_t>(std::ceil(reach / f.scale));
            f.minimum = layout.spherical && k == 0 ? 0 : -steps;
            f.bits = bitsFor(f.minimum, steps);
            f.xml = std::string("<") + name + " type=\"ScaledInteger\" minimum=\"" + std::to_string(f.minimum)
                + "\" maximum=\"" + std::to_string(steps) + "\" scale=\"" + real(f.scale) + "\" offset=\"0\"/>";
        } else {
            f.bits = layout.number == E57Number::Double ? 64 : 32;
            f.xml = std::string("<") + name + " type=\"Float\" precision=\""
                + (layout.number == E57Number::Double ? "double" : "single") + "\"/>";
        }
        scan.fields.push_back(f);
    }
    if (layout.invalidState) {
        Field f;
        f.integer = true;
        f.bits = 2;
        f.xml = layout.spherical ? "<sphericalInvalidState type=\"Integer\" minimum=\"0\" maximum=\"2\"/>"
                                 : "<cartesianInvalidState type=\"Integer\" minimum=\"0\" maximum=\"2\"/>";
        scan.fields.push_back(f);
    }
    scan.recordsPerPacket = layout.recordsPerPacket;
    scans_.push_back(scan);
    pending_.assign(scans_.back().fields.size(), {});
    const unsigned char room[SECTION_HEADER_BYTES] = {};
    put(room, sizeof room);
    if (layout.leadingPackets) {
        // An index packet of no entries (16 bytes) and an empty packet (4 bytes).
        const unsigned char packets[20] = {0, 0, 15, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 3, 0};
        put(packets, sizeof packets);
    }
    inScan_ = true;
    return !failed_;
}

bool E57FileWriter::encode(const ScanPoint& p)
{
    ScanEntry& scan = scans_.back();
    const bool noReturn = p.x == 0.0 && p.y == 0.0 && p.z == 0.0;
    double v[3] = {p.x, p.y, p.z};
    if (scan.spherical) {
        const double range = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
        v[0] = range;
        v[1] = std::atan2(p.y, p.x);
        v[2] = range > 0.0 ? std::asin(p.z / range) : 0.0;
    }
    for (std::size_t k = 0; k < scan.fields.size(); ++k) {
        const Field& f = scan.fields[k];
        if (f.integer) {
            pending_[k].push_back(noReturn ? 2.0 : 0.0);
        } else if (f.number == E57Number::ScaledInteger) {
            const double steps = std::round(v[k] / f.scale);
            if (!(steps >= static_cast<double>(f.minimum)
                  && steps - static_cast<double>(f.minimum) < std::ldexp(1.0, f.bits))) {
                outOfReach_ = true;
                return false;
            }
            pending_[k].push_back(steps);
        } else {
            pending_[k].push_back(v[k]);
        }
    }
    ++scan.records;
    return true;
}

void E57FileWriter::writePacket(bool last)
{
    ScanEntry& scan = scans_.back();
    std::vector<std::vector<unsigned char>> streams(scan.fields.size());
    for (std::size_t k = 0; k < scan.fields.size(); ++k) {
        Field& f = scan.fields[k];
        std::vector<unsigned char>& out = streams[k];
        if (f.integer || f.number == E57Number::ScaledInteger) {
            for (double v : pending_[k]) {
                putBits(f.carry, static_cast<uint64_t>(static_cast<int64_t>(v)) - static_cast<uint64_t>(f.minimum),
                        f.bits, out);
            }
            if (last) {
                finishBits(f.carry, out);
            }
            continue;
        }
        for (double v : pending_[k]) {
            unsigned char b[8];
            if (f.number == E57Number::Double) {
                uint64_t bits = 0;
                std::memcpy(&bits, &v, 8);
                putLittleEndian(b, bits, 8);
                out.insert(out.end(), b, b + 8);
            } else {
                const float single = static_cast<float>(v);
                uint32_t bits = 0;
                std::memcpy(&bits, &single, 4);
                putLittleEndian(b, bits, 4);
                out.insert(out.end(), b, b + 4);
            }
        }
    }
    std::vector<unsigned char> packet(6 + 2 * streams.size(), 0);
    packet[0] = 1;  // data packet
    putLittleEndian(&packet[4], streams.size(), 2);
    for (std::size_t k = 0; k < streams.size(); ++k) {
        putLittleEndian(&packet[6 + 2 * k], streams[k].size(), 2);
        packet.insert(packet.end(), streams[k].begin(), streams[k].end());
    }
    packet.resize((packet.size() + 3) / 4 * 4, 0);
    putLittleEndian(&packet[2], packet.size() - 1, 2);
    put(packet.data(), packet.size());
    for (std::vector<double>& values : pending_) {
        values.clear();
    }
}

bool E57FileWriter::append(const std::vector<ScanPoint>& points)
{
    if (!inScan_ || failed_ || outOfReach_) {
        return false;
    }
    for (const ScanPoint& p : points) {
        if (!encode(p)) {
            return false;
        }
        if (pending_[0].size() == scans_.back().recordsPerPacket) {
            writePacket(false);
        }
    }
    return !failed_;
}

bool E57FileWriter::endScan()
{
    if (!inScan_) {
        return false;
    }
    if (!pending_[0].empty()) {
        writePacket(true);
    }
    inScan_ = false;
    const ScanEntry& scan = scans_.back();
    const uint64_t end = pagesWritten_ * PAGE_CONTENT + page_.size();
    const uint64_t dataStart = scan.sectionStart + SECTION_HEADER_BYTES;
    unsigned char h[SECTION_HEADER_BYTES] = {};
    h[0] = 1;  // compressed vector section
    putLittleEndian(h + 8, end - scan.sectionStart, 8);
    putLittleEndian(h + 16, dataStart / PAGE_CONTENT * PAGE_BYTES + dataStart % PAGE_CONTENT, 8);
    patch(scan.sectionStart, h, sizeof h);
    return !failed_;
}

// The scan's entry of the data3D vector: its name, its pose and its points' layout.
std::string E57FileWriter::scanXml(std::size_t index) const
{
    const ScanEntry& s = scans_[index];
    double q[4];
    rotationQuaternion(s.pose.rotation, q);
    const uint64_t section = s.sectionStart / PAGE_CONTENT * PAGE_BYTES + s.sectionStart % PAGE_CONTENT;
    std::string xml = "<vectorChild type=\"Structure\"><guid type=\"String\">make_example_survey scan "
        + std::to_string(index + 1) + "</guid><name type=\"String\">" + xmlText(s.pose.name) + "</name>";
    xml += "<pose type=\"Structure\"><rotation type=\"Structure\">" + floatElement("w", q[0]) + floatElement("x", q[1])
        + floatElement("y", q[2]) + floatElement("z", q[3]) + "</rotation><translation type=\"Structure\">"
        + floatElement("x", s.pose.translation[0]) + floatElement("y", s.pose.translation[1])
        + floatElement("z", s.pose.translation[2]) + "</translation></pose>";
    xml += "<points type=\"CompressedVector\" fileOffset=\"" + std::to_string(section) + "\" recordCount=\""
        + std::to_string(s.records) + "\"><prototype type=\"Structure\">";
    for (const Field& f : s.fields) {
        xml += f.xml;
    }
    return xml + "</prototype><codecs type=\"Vector\" allowHeterogeneousChildren=\"1\"/></points></vectorChild>";
}

bool E57FileWriter::finish()
{
    if (!file_.isOpen()) {
        return false;
    }
    if (inScan_) {
        endScan();
    }
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<e57Root type=\"Structure\" xmlns=\"http://www.astm.org/COMMIT/E57/2010-e57-v1.0\">"
                      "<formatName type=\"String\">ASTM E57 3D Imaging Data File</formatName>"
                      "<guid type=\"String\">make_example_survey</guid>"
                      "<versionMajor type=\"Integer\">1</versionMajor><versionMinor type=\"Integer\">0</versionMinor>"
                      "<data3D type=\"Vector\" allowHeterogeneousChildren=\"1\">";
    for (std::size_t i = 0; i < scans_.size(); ++i) {
        xml += scanXml(i);
    }
    xml += "</data3D><images2D type=\"Vector\" allowHeterogeneousChildren=\"1\"/></e57Root>\n";
    const uint64_t xmlStart = pagesWritten_ * PAGE_CONTENT + page_.size();
    put(xml.data(), xml.size());
    if (!page_.empty()) {
        writePage();
    }
    unsigned char h[HEADER_BYTES] = {};
    std::memcpy(h, "ASTM-E57", 8);
    putLittleEndian(h + 8, 1, 4);
    putLittleEndian(h + 16, pagesWritten_ * PAGE_BYTES, 8);
    putLittleEndian(h + 24, xmlStart / PAGE_CONTENT * PAGE_BYTES + xmlStart % PAGE_CONTENT, 8);
    putLittleEndian(h + 32, xml.size(), 8);
    putLittleEndian(h + 40, PAGE_BYTES, 8);
    patch(0, h, sizeof h);
    return closeFile();
}

// Puts the file in its place, or reports what went wrong while writing it and leaves
// no file behind.
bool E57FileWriter::closeFile()
{
    std::string reason;
    const bool committed = !failed_ && !outOfReach_ && file_.commit(reason);
    file_.discard();
    if (outOfReach_) {
        std::fprintf(stderr, "Cannot write %s: a point lies beyond the reach of its scaled integers\n", path_.c_str());
        return false;
    }
    if (!committed) {
        std::fprintf(stderr, "Cannot write %s\n", path_.c_str());
        return false;
    }
    return true;
}
