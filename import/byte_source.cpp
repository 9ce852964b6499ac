#include "import/byte_source.h"

#include <climits>
#include <cstring>
#include <filesystem>
#include <system_error>

std::size_t MemorySource::read(uint64_t offset, void* out, std::size_t count)
{
    if (offset >= size_) {
        return 0;
    }
    const std::size_t available = size_ - static_cast<std::size_t>(offset);
    const std::size_t n = count < available ? count : available;
    std::memcpy(out, data_ + offset, n);
    return n;
}

bool FileSource::open(const std::string& path, std::string& error)
{
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status)) {
        error = "no such file";
        return false;
    }
    // A pipe or a device has no size to check the header counts against.
    if (!std::filesystem::is_regular_file(status)) {
        error = "not a regular file";
        return false;
    }
    const std::uintmax_t bytes = std::filesystem::file_size(path, ec);
    file_.reset(std::fopen(path.c_str(), "rb"));
    if (ec || !file_) {
        error = "cannot be opened for reading";
        return false;
    }
    size_ = static_cast<uint64_t>(bytes);
    position_ = 0;
    failed_ = false;
    return true;
}

// fseek takes a long; large distances go in steps that fit one.
bool FileSource::seekTo(uint64_t offset)
{
    if (offset == position_) {
        return true;
    }
    if (offset < position_) {
        std::rewind(file_.get());
        position_ = 0;
    }
    while (position_ < offset) {
        const uint64_t step =
            offset - position_ < static_cast<uint64_t>(LONG_MAX) ? offset - position_ : static_cast<uint64_t>(LONG_MAX);
        if (std::fseek(file_.get(), static_cast<long>(step), SEEK_CUR) != 0) {
            failed_ = true;
            return false;
        }
        position_ += step;
    }
    return true;
}

std::size_t FileSource::read(uint64_t offset, void* out, std::size_t count)
{
    if (!file_ || failed_ || offset >= size_ || !seekTo(offset)) {
        return 0;
    }
    const std::size_t n = std::fread(out, 1, count, file_.get());
    position_ += n;
    if (n < count && std::ferror(file_.get()) != 0) {
        failed_ = true;
    }
    return n;
}
