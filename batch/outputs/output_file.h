#pragma once

#include "batch/replacement_file.h"

#include <cstdio>
#include <string>

// An output file of a run: a ReplacementFile that reports its failures once, on the
// console and in the log.
class OutputFile {
public:
    /// Creates the file for writing; reports when it cannot, unless the caller reports
    /// that itself (`reportCreateFailure` false).
    OutputFile(const std::string& path, std::FILE* log, bool reportCreateFailure = true);

    bool isOpen() const { return file_.isOpen(); }
    std::FILE* get() const { return file_.file(); }
    /// Flushes the file; false (reported) when the data could not be written.
    bool flush();
    /// Closes the file and puts it in its place; false (reported) when any write, the
    /// close or the replacement failed, and then the old file stays.
    bool close();

private:
    void reportWriteFailure();

    ReplacementFile file_;
    std::string path_;
    std::FILE* log_ = nullptr;
    bool failed_ = false;
};
