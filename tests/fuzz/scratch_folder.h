#pragma once
// The private temporary folder in which the fuzz inputs become files.

#include "tests/support/test_files.h"

#include <cstddef>
#include <cstdint>
#include <string>

/// A folder of its own for this process, created on first use and removed with its
/// contents when the process ends: a fuzzer runs millions of inputs through one
/// folder instead of creating one per input. Empty when it cannot be created.
const std::string& scratchFolder();

/// `name` inside the scratch folder.
std::string scratchPath(const std::string& name);

/// Empties the scratch folder when it goes away, so that one input's files never
/// meet the next input.
class ScratchFiles {
public:
    ScratchFiles() = default;
    ScratchFiles(const ScratchFiles&) = delete;
    ScratchFiles& operator=(const ScratchFiles&) = delete;
    ~ScratchFiles();
};

/// An input cut in two: bytes 0 and 1 give the length of the first part (little
/// endian, cut to what is there), the first part follows, the rest is the second.
struct TwoFiles {
    std::string first;
    std::string second;
};
TwoFiles splitTwoFiles(const uint8_t* data, std::size_t size);
