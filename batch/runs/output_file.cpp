#include "batch/runs/output_file.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace {

// A name that stands for something other than a file (a device such as /dev/null, a
// pipe) is written to as it is: there is no old file to keep, and renaming over it
// would replace the device with a file.
bool isSpecialFile(const std::string& path)
{
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    return !error && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)
        && !std::filesystem::is_directory(status);
}

}  // namespace

OutputFile::OutputFile(const std::string& path, std::FILE* log, bool reportCreateFailure)
    : path_(path), writtenPath_(isSpecialFile(path) ? path : path + ".part"), log_(log)
{
    file_.reset(std::fopen(writtenPath_.c_str(), "w"));
    if (!file_ && (errno == EACCES || errno == EROFS)) {
        // The folder takes no new file; one that exists and may be written still can be.
        std::error_code error;
        if (std::filesystem::is_regular_file(path_, error)) {
            writtenPath_ = path_;
            file_.reset(std::fopen(writtenPath_.c_str(), "w"));
        }
    }
    if (file_ || !reportCreateFailure)
        return;
    std::printf("Unable to create output file %s \n", path.c_str());
    if (log_ != nullptr)
        std::fprintf(log_, "Unable to create output file %s \n", path.c_str());
    failed_ = true;
}

OutputFile::~OutputFile()
{
    if (file_)
        discard();
}

void OutputFile::reportWriteFailure()
{
    if (failed_)
        return;
    failed_ = true;
    std::printf("Unable to write output file %s \n", path_.c_str());
    if (log_ != nullptr)
        std::fprintf(log_, "Unable to write output file %s \n", path_.c_str());
}

void OutputFile::discard()
{
    file_.reset();
    if (writtenPath_ != path_)
        std::remove(writtenPath_.c_str());
}

bool OutputFile::flush()
{
    if (!file_)
        return false;
    if (std::fflush(file_.get()) != 0 || std::ferror(file_.get()) != 0) {
        reportWriteFailure();
        return false;
    }
    return true;
}

bool OutputFile::close()
{
    if (!file_)
        return false;
    const bool written = std::ferror(file_.get()) == 0 && !failed_;
    const bool closed = std::fclose(file_.release()) == 0;
    std::error_code error;
    if (written && closed && writtenPath_ != path_)
        std::filesystem::rename(writtenPath_, path_, error);
    if (!written || !closed || error) {
        if (writtenPath_ != path_)
            std::remove(writtenPath_.c_str());
        reportWriteFailure();
        return false;
    }
    return true;
}
