#include "import/replacement_file.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr int32_t NAME_ATTEMPTS = 100;

// ".<name>.<number>.tmp" in the target's folder: hidden, and on the same file
// system, so that the final rename replaces the target in one step.
std::string temporaryName(const std::string& target, uint64_t number)
{
    const fs::path path(target);
    const fs::path name = "." + path.filename().string() + "." + std::to_string(number) + ".tmp";
    return (path.parent_path() / name).string();
}

}  // namespace

ReplacementFile::~ReplacementFile() { discard(); }

bool ReplacementFile::open(const std::string& target, std::string& error)
{
    discard();
    target_ = target;
    const uint64_t seed = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    for (int32_t k = 0; k < NAME_ATTEMPTS; ++k) {
        temporary_ = temporaryName(target, (seed + static_cast<uint64_t>(k) * 7919u) % 1000000007u);
        // "x": create a new file only, never open one that is already there.
        file_.reset(std::fopen(temporary_.c_str(), "wbx"));
        if (file_) {
            return true;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    error = "cannot create a temporary file beside " + target + " (" + std::strerror(errno) + ")";
    temporary_.clear();
    return false;
}

bool ReplacementFile::commit(std::string& error)
{
    if (!file_) {
        error = "nothing was written";
        return false;
    }
    const bool writeFailed = std::ferror(file_.get()) != 0;
    const bool closeFailed = std::fclose(file_.release()) != 0;
    if (writeFailed || closeFailed) {
        error = "writing " + temporary_ + " failed (disk full or no longer writable?)";
        discard();
        return false;
    }
    std::error_code ec;
    fs::rename(temporary_, target_, ec);
    if (ec) {
        error = "cannot rename " + temporary_ + " to " + target_ + " (" + ec.message() + ")";
        discard();
        return false;
    }
    temporary_.clear();
    return true;
}

void ReplacementFile::discard()
{
    file_.reset();
    if (!temporary_.empty()) {
        std::error_code ec;
        fs::remove(temporary_, ec);
        temporary_.clear();
    }
}
