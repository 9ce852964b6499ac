#pragma once

#include "batch/file_ptr.h"

#include <cstdio>
#include <string>

// An output file of a run: created anew on construction, checked on close. A file
// that cannot be created or written is reported once, on the console and in the log.
class OutputFile {
public:
    /// Creates `path` for writing in text mode; reports when it cannot, unless the
    /// caller reports that itself (`reportCreateFailure` false).
    OutputFile(const std::string& path, std::FILE* log, bool reportCreateFailure = true);
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    bool isOpen() const { return file_ != nullptr; }
    std::FILE* get() const { return file_.get(); }
    /// Flushes the file; false (reported) when the data could not be written.
    bool flush();
    /// Closes the file; false (reported) when any write or the close failed.
    bool close();

private:
    void reportWriteFailure();

    FilePtr file_;
    std::string path_;
    std::FILE* log_ = nullptr;
    bool failed_ = false;
};
