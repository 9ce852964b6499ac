#pragma once

#include "batch/file_ptr.h"

#include <cstdio>
#include <string>

// A file written under a temporary name beside its target ("<target>.part") that takes
// the target's place only when it is complete: a writer that fails, stops or is killed
// leaves the old file as it was (a killed one may leave the ".part" file, which the next
// writer replaces). Two exceptions, where a temporary file cannot do its work: a target
// that is no regular file (a device such as /dev/null, a pipe) is written to directly,
// and so is an existing, writable target in a folder that takes no new file. Nothing
// here prints: each failure comes back with its reason, for the owner to report.
class ReplacementFile {
public:
    ReplacementFile() = default;
    /// Takes over the other's file; the other is left closed, with nothing to remove.
    ReplacementFile(ReplacementFile&& other) noexcept;
    ReplacementFile& operator=(ReplacementFile&&) = delete;
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;
    /// Without a commit that succeeded, the old file stays and the temporary one goes.
    ~ReplacementFile() { discard(); }

    /// Creates the file to write (binary mode: "\n" line ends on every platform); false
    /// with `error` set when it cannot.
    bool open(const std::string& target, std::string& error);
    bool isOpen() const { return file_ != nullptr; }
    /// The open file, for writing; nullptr before open() and after commit() or discard().
    std::FILE* file() const { return file_.get(); }
    const std::string& target() const { return target_; }
    /// The name written to: the temporary name, or the target when written directly.
    const std::string& writtenPath() const { return written_; }
    /// Flushes what was written so far; false when it could not be written.
    bool flush();
    /// Closes the file and puts it in the target's place; false with `error` set (and
    /// the temporary file removed, the old file kept) when a write, the close or the
    /// renaming failed.
    bool commit(std::string& error);
    /// Closes the file and removes the temporary one; the target stays as it was.
    void discard();

    /// Whether open() and commit() can write `target`, found out without touching it: no
    /// folder stands in its place, and its temporary file can be created (it is removed
    /// again) or, in a folder that takes no new file, the existing target be written.
    static bool canWrite(const std::string& target);

private:
    FilePtr file_;
    std::string target_;
    std::string written_;
};
