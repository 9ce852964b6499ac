#pragma once

#include "batch/file_ptr.h"

#include <cstdio>
#include <string>

// An output file of a run. It is written under a temporary name beside its place
// ("<name>.part") and takes the place of the old file only when it is complete: a run
// that fails to write it, stops or is killed leaves the old file as it was. A file that
// cannot be created or written is reported once, on the console and in the log.
class OutputFile {
public:
    /// Creates the temporary file for writing in text mode; reports when it cannot,
    /// unless the caller reports that itself (`reportCreateFailure` false). In a folder
    /// that takes no new file, an existing file that may be written is written in place.
    OutputFile(const std::string& path, std::FILE* log, bool reportCreateFailure = true);
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    /// Without a close that succeeded, the old file stays and the temporary one goes.
    ~OutputFile();

    bool isOpen() const { return file_ != nullptr; }
    std::FILE* get() const { return file_.get(); }
    /// Flushes the file; false (reported) when the data could not be written.
    bool flush();
    /// Closes the file and puts it in its place; false (reported) when any write, the
    /// close or the replacement failed, and then the old file stays.
    bool close();

private:
    void reportWriteFailure();
    void discard();

    FilePtr file_;
    std::string path_;
    std::string writtenPath_;  ///< the temporary name, or `path_` when written in place
    std::FILE* log_ = nullptr;
    bool failed_ = false;
};
