#pragma once
// The batch program's binary point file: 32-byte records of x, y, z as
// little-endian IEEE doubles and 8 zero bytes, no header. Written through a
// ReplacementFile, so an old file of the same name survives any failure.

#include "batch/point_formats.h"
#include "batch/replacement_file.h"
#include "import/point_sink.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class BxyzWriter {
public:
    /// Starts the temporary file beside `target`; false with `error` set when it cannot.
    bool open(const std::string& target, std::string& error);
    /// Adds the points; false once a write has failed.
    bool write(const ImportedPoint* points, std::size_t count);
    /// Writes what is buffered and frees the buffer, for a file that waits to be committed
    /// with others; write() fails after it. false when a write failed.
    bool finishPoints();
    /// Writes what is buffered and puts the file in place of the target.
    bool commit(std::string& error);
    /// Drops the temporary file; the target stays as it was.
    void discard() { file_.discard(); }
    int64_t recordsWritten() const { return records_; }

private:
    bool flush();

    ReplacementFile file_;
    std::vector<unsigned char> buffer_;  ///< encoded records waiting for one fwrite
    std::size_t used_ = 0;               ///< bytes of buffer_ in use
    int64_t records_ = 0;
    bool failed_ = false;
};
