#pragma once
// One function per file reader of the batch program: each writes the fuzz input to a
// file in a private temporary folder, calls the reader exactly as the program does,
// checks what the reader returned against its contract, and empties the folder again.
// The libFuzzer harnesses and the regression unit tests both go through these, so a
// saved crashing input replays the very same calls.
//
// Every function returns "" when the reader behaved, otherwise one line saying which
// contract it broke (a crash is left to the sanitizers).

#include <cstddef>
#include <cstdint>
#include <string>

/// The whole input is the configuration file; the summary is printed afterwards, as at start-up.
std::string feedConfigurationFile(const uint8_t* data, std::size_t size);

/// The whole input is the survey database; its records become scan records and get neighbours.
std::string feedSurveyDatabase(const uint8_t* data, std::size_t size);

/// The whole input is a binary point file (".bxyz").
std::string feedBinaryPoints(const uint8_t* data, std::size_t size);

/// Byte 0 chooses the settings (run mode, evaluation, FILEEXT, filters, translation);
/// the rest is a text point file.
std::string feedTextPoints(const uint8_t* data, std::size_t size);

/// The whole input is the registration table that the rotation reads.
std::string feedRotationTable(const uint8_t* data, std::size_t size);

/// Byte 0 chooses the settings (filter, translation, binary scan file); bytes 1 and 2
/// give the length n of the registration table (little endian, cut to what is left);
/// then n bytes of registration table; the rest is the scan's point file.
std::string feedScanRotation(const uint8_t* data, std::size_t size);

/// Byte 0 chooses the settings (point to point or plane, cube size, binary files);
/// bytes 1 and 2 give the length n of point file 1 as above; then n bytes of point
/// file 1; the rest is point file 2. Run mode 5, in the temporary folder as working
/// folder (the mode writes its pair files there). Inputs over 16 KiB are skipped, so
/// every run stays short.
std::string feedPairPreparation(const uint8_t* data, std::size_t size);

using FeedFunction = std::string (*)(const uint8_t* data, std::size_t size);

struct FuzzReader {
    const char* name;   ///< folder name under corpus/ and regressions/, harness <name>_fuzz
    FeedFunction feed;  ///< the function above that drives it
};

/// The readers of the batch program, in the order above.
extern const FuzzReader BATCH_READERS[7];
