#include "batch/replacement_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

namespace {

// A name that stands for something other than a file (a device, a pipe) is written to as
// it is: there is no old file to keep, and renaming over it would replace the device.
bool isSpecialFile(const std::string& path)
{
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    return !error && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)
        && !std::filesystem::is_directory(status);
}

}  // namespace

ReplacementFile::ReplacementFile(ReplacementFile&& other) noexcept
    : file_(std::move(other.file_)), target_(std::move(other.target_)), written_(std::move(other.written_))
{
    other.target_.clear();
    other.written_.clear();
}

bool ReplacementFile::open(const std::string& target, std::string& error)
{
    discard();
    target_ = target;
    written_ = isSpecialFile(target) ? target : target + ".part";
    file_.reset(std::fopen(written_.c_str(), "wb"));
    int reason = errno;
    if (!file_ && (reason == EACCES || reason == EROFS)) {
        // The folder takes no new file; one that exists and may be written still can be.
        std::error_code ec;
        if (std::filesystem::is_regular_file(target_, ec)) {
            written_ = target_;
            file_.reset(std::fopen(written_.c_str(), "wb"));
            reason = errno;
        }
    }
    if (file_)
        return true;
    error = "cannot create " + written_ + " (" + std::strerror(reason) + ")";
    written_.clear();
    return false;
}

bool ReplacementFile::flush() { return file_ && std::fflush(file_.get()) == 0 && std::ferror(file_.get()) == 0; }

bool ReplacementFile::commit(std::string& error)
{
    if (!file_) {
        error = "nothing was written";
        return false;
    }
    const bool writeFailed = std::ferror(file_.get()) != 0;
    const bool closeFailed = std::fclose(file_.release()) != 0;
    if (writeFailed || closeFailed) {
        error = "writing " + written_ + " failed (disk full or no longer writable?)";
        discard();
        return false;
    }
    std::error_code ec;
    if (written_ != target_)
        std::filesystem::rename(written_, target_, ec);
    if (ec) {
        error = "cannot rename " + written_ + " to " + target_ + " (" + ec.message() + ")";
        discard();
        return false;
    }
    written_.clear();
    return true;
}

bool ReplacementFile::canWrite(const std::string& target)
{
    std::error_code ec;
    if (std::filesystem::is_directory(target, ec))
        return false;  // the renaming would fail once the work is done
    if (isSpecialFile(target))
        return true;  // written to as it is
    const std::string temporary = target + ".part";
    FilePtr probe(std::fopen(temporary.c_str(), "wb"));
    const int reason = errno;
    if (probe) {
        probe.reset();
        std::filesystem::remove(temporary, ec);
        return true;
    }
    // As open() does: an existing target in a folder that takes no new file is written directly.
    return (reason == EACCES || reason == EROFS) && std::filesystem::is_regular_file(target, ec)
        && FilePtr(std::fopen(target.c_str(), "ab")) != nullptr;
}

void ReplacementFile::discard()
{
    file_.reset();
    if (!written_.empty() && written_ != target_) {
        std::error_code ec;
        std::filesystem::remove(written_, ec);
    }
    written_.clear();
}
