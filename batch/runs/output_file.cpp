#include "batch/runs/output_file.h"

OutputFile::OutputFile(const std::string& path, std::FILE* log, bool reportCreateFailure)
    : file_(std::fopen(path.c_str(), "w")), path_(path), log_(log)
{
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
        close();
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
    const bool written = std::ferror(file_.get()) == 0;
    const bool closed = std::fclose(file_.release()) == 0;
    if (!written || !closed)
        reportWriteFailure();
    return written && closed && !failed_;
}
