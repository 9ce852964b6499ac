#pragma once
// A file written under a temporary name in the target's folder and renamed over the
// target only once complete. Until commit() the target keeps whatever it held; a
// replacement that is dropped or fails removes its temporary file.

#include "batch/file_ptr.h"

#include <cstdio>
#include <memory>
#include <string>

class ReplacementFile {
public:
    ReplacementFile() = default;
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;
    /// Removes the temporary file unless committed.
    ~ReplacementFile();

    /// Creates a new temporary file beside `target`; false with `error` set when it cannot.
    bool open(const std::string& target, std::string& error);
    /// The open temporary file, for writing; nullptr before open() and after commit().
    std::FILE* file() const { return file_.get(); }
    const std::string& temporaryPath() const { return temporary_; }
    /// Closes the temporary file and renames it over the target; false with `error`
    /// set (and the temporary removed) when a write, the close or the rename failed.
    bool commit(std::string& error);
    /// Closes and removes the temporary file; the target stays as it was.
    void discard();

private:
    FilePtr file_;
    std::string target_;
    std::string temporary_;
};
