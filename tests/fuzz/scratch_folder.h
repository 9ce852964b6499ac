#pragma once
// The private temporary folder in which the fuzz inputs become files.

#include <cstddef>
#include <cstdint>
#include <string>

/// A folder of its own for this process under the system's temporary directory,
/// created on first use and removed with its contents when the process ends. Empty
/// when it cannot be created.
const std::string& scratchFolder();

/// `name` inside the scratch folder.
std::string scratchPath(const std::string& name);

/// Writes `size` bytes to `path` exactly (binary); false when that fails.
bool writeBytes(const std::string& path, const void* data, std::size_t size);

/// The whole content of `path`; empty when it cannot be read.
std::string readBytes(const std::string& path);

/// Empties the scratch folder when it goes away, so that one input's files never
/// meet the next input.
class ScratchFiles {
public:
    ScratchFiles() = default;
    ScratchFiles(const ScratchFiles&) = delete;
    ScratchFiles& operator=(const ScratchFiles&) = delete;
    ~ScratchFiles();
};

/// Makes the scratch folder the working folder while it lives, then returns to the old one.
class ScratchWorkingFolder {
public:
    ScratchWorkingFolder();
    ScratchWorkingFolder(const ScratchWorkingFolder&) = delete;
    ScratchWorkingFolder& operator=(const ScratchWorkingFolder&) = delete;
    ~ScratchWorkingFolder();

    bool entered() const { return entered_; }

private:
    std::string previous_;
    bool entered_ = false;
};

/// An input cut in two: bytes 0 and 1 give the length of the first part (little
/// endian, cut to what is there), the first part follows, the rest is the second.
struct TwoFiles {
    std::string first;
    std::string second;
};
TwoFiles splitTwoFiles(const uint8_t* data, std::size_t size);
