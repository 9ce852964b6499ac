#pragma once
// One function per reader of tavrin_import: each reads the fuzz input from memory,
// as the program reads a file, and checks what the reader returned against its
// contract. The libFuzzer harnesses (<reader>_import_fuzz) and the importer's tests,
// which replay the seed corpora, both go through these.
//
// Every function returns "" when the reader behaved, otherwise one line saying which
// contract it broke (a crash is left to the sanitizers).

#include <cstddef>
#include <cstdint>
#include <string>

/// The whole input is a LAS file.
std::string feedLasImport(const uint8_t* data, std::size_t size);

/// The whole input is a PLY file.
std::string feedPlyImport(const uint8_t* data, std::size_t size);

/// Byte 0 chooses the scan (1 + bits 0-1) and whether the pose is applied (bit 2);
/// the rest is a PTX file.
std::string feedPtxImport(const uint8_t* data, std::size_t size);

/// The whole input is point text.
std::string feedXyzImport(const uint8_t* data, std::size_t size);

/// Byte 0 chooses the scan (1 + bits 0-1), whether the pose is applied (bit 2) and
/// whether the page checksums are taken as they are (bit 3); without bit 3 every page's
/// checksum is made right first, so that mutations reach past the page layer. The rest
/// is an E57 file. The scans' names and poses also go through the database writer's
/// conversions.
std::string feedE57Import(const uint8_t* data, std::size_t size);

/// Gives every whole 1024-byte page of an E57 file the right checksum (the tests mend
/// the files they edit with it, the harness every input).
void mendE57Checksums(unsigned char* file, std::size_t size);

using ImportFeed = std::string (*)(const uint8_t* data, std::size_t size);

struct ImportFuzzReader {
    const char* name;  ///< folder under corpus/, harness <name>_fuzz
    ImportFeed feed;
};

extern const ImportFuzzReader IMPORT_READERS[5];
