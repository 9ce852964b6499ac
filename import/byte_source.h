#pragma once
// Where a reader's bytes come from: a file on disk for the program, a block of
// memory for the tests and the fuzz harnesses. Readers see only this interface.

#include "batch/file_ptr.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

class ByteSource {
public:
    virtual ~ByteSource() = default;
    /// Bytes in the whole input.
    virtual uint64_t size() const = 0;
    /// Copies up to `count` bytes from `offset` into `out`; returns how many it copied
    /// (fewer only at the end of the input or on a read error).
    virtual std::size_t read(uint64_t offset, void* out, std::size_t count) = 0;
    /// A read from the medium failed (not just the end of the input).
    virtual bool failed() const = 0;
};

class MemorySource : public ByteSource {
public:
    MemorySource(const void* data, std::size_t size) : data_(static_cast<const unsigned char*>(data)), size_(size) { }
    uint64_t size() const override { return size_; }
    std::size_t read(uint64_t offset, void* out, std::size_t count) override;
    bool failed() const override { return false; }

private:
    const unsigned char* data_;
    std::size_t size_;
};

/// Reads a regular file. Reads are cheapest in order: the file is positioned by
/// relative seeks only when a read does not start where the previous one ended.
class FileSource : public ByteSource {
public:
    /// Opens `path`; false with `error` set when it is missing, not a regular file or unreadable.
    bool open(const std::string& path, std::string& error);
    uint64_t size() const override { return size_; }
    std::size_t read(uint64_t offset, void* out, std::size_t count) override;
    bool failed() const override { return failed_; }

private:
    bool seekTo(uint64_t offset);

    FilePtr file_;
    uint64_t size_ = 0;
    uint64_t position_ = 0;
    bool failed_ = false;
};
