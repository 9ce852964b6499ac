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

using ImportFeed = std::string (*)(const uint8_t* data, std::size_t size);

struct ImportFuzzReader {
    const char* name;  ///< folder under corpus/, harness <name>_fuzz
    ImportFeed feed;
};

extern const ImportFuzzReader IMPORT_READERS[4];
