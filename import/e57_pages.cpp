#include "import/e57_pages.h"

#include "import/binary_fields.h"
#include "import/crc32c.h"

#include <cstring>

namespace {

// Pages read and checked at a time: 256 KiB, so that a scan streams in large reads.
constexpr uint64_t RUN_PAGES = 256;

std::string number(uint64_t v) { return std::to_string(v); }

// The version, page size and length of the header, the length against the file's `size`.
bool checkHeader(const E57Header& header, uint64_t size, std::string& error)
{
    if (header.major != 1) {
        error = "E57 version " + number(header.major) + "." + number(header.minor) + " is not read (version 1 is)";
        return false;
    }
    if (header.pageSize != E57_PAGE_BYTES) {
        error = "the E57 header gives pages of " + number(header.pageSize) + " bytes, not 1024";
        return false;
    }
    if (header.physicalLength % E57_PAGE_BYTES != 0 || header.physicalLength == 0) {
        error = "the E57 header gives a file length of " + number(header.physicalLength)
            + " bytes, which is no whole number of pages";
        return false;
    }
    if (header.physicalLength > size) {
        error = "the E57 header gives a file of " + number(header.physicalLength) + " bytes, but only " + number(size)
            + " are there: the file is cut short";
        return false;
    }
    return true;
}

}  // namespace

bool e57Logical(uint64_t physical, uint64_t& logical)
{
    const uint64_t within = physical % E57_PAGE_BYTES;
    logical = physical / E57_PAGE_BYTES * E57_PAGE_CONTENT + within;
    return within < E57_PAGE_CONTENT;
}

uint64_t e57Physical(uint64_t logical)
{
    return logical / E57_PAGE_CONTENT * E57_PAGE_BYTES + logical % E57_PAGE_CONTENT;
}

bool E57Pages::load(uint64_t page, std::string& error)
{
    const uint64_t count = pages_ - page < RUN_PAGES ? pages_ - page : RUN_PAGES;
    const std::size_t bytes = static_cast<std::size_t>(count * E57_PAGE_BYTES);
    raw_.resize(bytes);
    held_ = 0;
    if (source_.read(page * E57_PAGE_BYTES, raw_.data(), bytes) != bytes) {
        error = source_.failed() ? "a read error stopped reading the file"
                                 : "the file ends at " + number(source_.size()) + " bytes, inside page " + number(page)
                + " or after it: it is cut short";
        return false;
    }
    for (uint64_t k = 0; k < count; ++k) {
        const unsigned char* p = raw_.data() + k * E57_PAGE_BYTES;
        // The checksum is stored with its most significant byte first, unlike every
        // other number of the file.
        if (crc32c(p, E57_PAGE_CONTENT) != be32(p + E57_PAGE_CONTENT)) {
            error = "the page at file offset " + number((page + k) * E57_PAGE_BYTES)
                + " has a bad checksum (CRC-32C): the file is damaged";
            return false;
        }
    }
    first_ = page;
    held_ = count;
    return true;
}

bool E57Pages::open(E57Header& header, std::string& error)
{
    const uint64_t size = source_.size();
    if (size < E57_PAGE_BYTES) {
        error = "the file holds " + number(size) + " bytes, less than one 1024-byte page: it is cut short";
        return false;
    }
    pages_ = 1;
    if (!load(0, error)) {
        return false;
    }
    const unsigned char* h = raw_.data();
    if (std::memcmp(h, "ASTM-E57", 8) != 0) {
        error = "the file does not start with the E57 signature ASTM-E57";
        return false;
    }
    header.major = le32(h + 8);
    header.minor = le32(h + 12);
    header.physicalLength = le64(h + 16);
    header.xmlOffset = le64(h + 24);
    header.xmlLength = le64(h + 32);
    header.pageSize = le64(h + 40);
    if (!checkHeader(header, size, error)) {
        return false;
    }
    pages_ = header.physicalLength / E57_PAGE_BYTES;
    uint64_t xmlStart = 0;
    if (!e57Logical(header.xmlOffset, xmlStart) || header.xmlLength == 0 || xmlStart > logicalSize()
        || header.xmlLength > logicalSize() - xmlStart) {
        error = "the E57 header places the XML section (offset " + number(header.xmlOffset) + ", "
            + number(header.xmlLength) + " bytes) outside the file: it is cut short or damaged";
        return false;
    }
    return true;
}

bool E57Pages::read(uint64_t logical, void* out, std::size_t count, std::string& error)
{
    if (logical > logicalSize() || count > logicalSize() - logical) {
        error = "the file ends before the data at logical offset " + number(logical)
            + " that its structure points to: it is cut short or damaged";
        return false;
    }
    unsigned char* to = static_cast<unsigned char*>(out);
    while (count > 0) {
        const uint64_t page = logical / E57_PAGE_CONTENT;
        if (page < first_ || page >= first_ + held_) {
            if (!load(page, error)) {
                return false;
            }
        }
        // The rest of this page, read straight from the run as it came from the file.
        const std::size_t within = static_cast<std::size_t>(logical % E57_PAGE_CONTENT);
        const std::size_t n = count < E57_PAGE_CONTENT - within ? count : E57_PAGE_CONTENT - within;
        std::memcpy(to, raw_.data() + (page - first_) * E57_PAGE_BYTES + within, n);
        to += n;
        logical += n;
        count -= n;
    }
    return true;
}
