#pragma once
// The paged layer of an E57 file. The file is a run of 1024-byte physical pages, each
// 1020 bytes of content and the CRC-32C of those bytes; the content of all pages in
// order is the file's logical byte stream, in which the binary sections and the XML
// section lie. Offsets stored in the file are physical, lengths logical. Every page
// is checked before any of its bytes is used.

#include "import/byte_source.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr uint64_t E57_PAGE_BYTES = 1024;
constexpr uint64_t E57_PAGE_CONTENT = 1020;  ///< logical bytes of a page; its checksum follows
constexpr std::size_t E57_HEADER_BYTES = 48;

/// The file header at the start of page 0.
struct E57Header {
    uint32_t major = 0;           ///< format version, 1
    uint32_t minor = 0;           ///< format version, 0
    uint64_t physicalLength = 0;  ///< bytes of the whole file, checksums included
    uint64_t xmlOffset = 0;       ///< physical offset of the XML section
    uint64_t xmlLength = 0;       ///< logical bytes of the XML section
    uint64_t pageSize = 0;        ///< bytes of a physical page, 1024
};

/// The logical offset of a physical one; false for an offset inside a checksum.
bool e57Logical(uint64_t physical, uint64_t& logical);

/// The physical offset of a logical one.
uint64_t e57Physical(uint64_t logical);

class E57Pages {
public:
    explicit E57Pages(ByteSource& source) : source_(source) { }

    /// Reads page 0 and the header in it; false with `error` set when the file is no E57
    /// file this reader knows, is cut short, or page 0 is damaged.
    bool open(E57Header& header, std::string& error);
    /// Copies `count` logical bytes from `logical` into `out`; false with `error` set
    /// when a page is damaged (naming its file offset), the file ends first, or the
    /// medium fails.
    bool read(uint64_t logical, void* out, std::size_t count, std::string& error);
    /// Logical bytes of the file, as its header gives its length.
    uint64_t logicalSize() const { return pages_ * E57_PAGE_CONTENT; }

private:
    /// Holds the run of pages from `page` on, each checked.
    bool load(uint64_t page, std::string& error);

    ByteSource& source_;
    uint64_t pages_ = 0;              ///< pages of the file, by its header
    uint64_t first_ = 0;              ///< first page held
    uint64_t held_ = 0;               ///< pages held
    std::vector<unsigned char> raw_;  ///< the pages held, as read and checked
};
