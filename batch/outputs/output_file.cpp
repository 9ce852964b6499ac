#include "batch/outputs/output_file.h"

OutputFile::OutputFile(const std::string& path, std::FILE* log, bool reportCreateFailure) : path_(path), log_(log)
{
    std::string reason;
    if (file_.open(path, reason) || !reportCreateFailure)
        return;
    std::printf("Unable to create output file %s \n", path.c_str());
    if (log_ != nullptr)
        std::fprintf(log_, "Unable to create output file %s \n", path.c_str());
    failed_ = true;
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
    if (!file_.isOpen())
        return false;
    if (!file_.flush()) {
        reportWriteFailure();
        return false;
    }
    return true;
}

bool OutputFile::close()
{
    if (!file_.isOpen())
        return false;
    std::string reason;
    if (failed_ || !file_.commit(reason)) {
        file_.discard();
        reportWriteFailure();
        return false;
    }
    return true;
}
