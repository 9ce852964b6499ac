#include "tests/fuzz/scratch_folder.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>

namespace fs = std::filesystem;

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Owns the folder for the life of the process: a fuzzer runs millions of inputs
// through one folder instead of creating one per input.
class ProcessFolder {
public:
    ProcessFolder()
    {
        std::error_code error;
        const fs::path base = fs::temp_directory_path(error);
        std::string pattern = (error ? fs::path("/tmp") : base) / "tavrin_fuzz_XXXXXX";
        if (mkdtemp(pattern.data()) != nullptr)
            path_ = pattern;
    }
    ProcessFolder(const ProcessFolder&) = delete;
    ProcessFolder& operator=(const ProcessFolder&) = delete;
    ~ProcessFolder()
    {
        std::error_code error;
        if (!path_.empty())
            fs::remove_all(path_, error);
    }

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace

const std::string& scratchFolder()
{
    static const ProcessFolder folder;
    return folder.path();
}

std::string scratchPath(const std::string& name) { return scratchFolder() + "/" + name; }

bool writeBytes(const std::string& path, const void* data, std::size_t size)
{
    FilePtr file(std::fopen(path.c_str(), "wb"));
    if (!file)
        return false;
    if (size > 0 && std::fwrite(data, 1, size, file.get()) != size)
        return false;
    return std::fclose(file.release()) == 0;
}

std::string readBytes(const std::string& path)
{
    std::string bytes;
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return bytes;
    char block[65536];
    std::size_t n = 0;
    while ((n = std::fread(block, 1, sizeof block, file.get())) > 0)
        bytes.append(block, n);
    return bytes;
}

ScratchFiles::~ScratchFiles()
{
    const std::string& folder = scratchFolder();
    if (folder.empty())
        return;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code ignored;
        fs::remove_all(it->path(), ignored);
    }
}

ScratchWorkingFolder::ScratchWorkingFolder()
{
    std::error_code error;
    previous_ = fs::current_path(error).string();
    if (error || scratchFolder().empty())
        return;
    fs::current_path(scratchFolder(), error);
    entered_ = !error;
}

ScratchWorkingFolder::~ScratchWorkingFolder()
{
    std::error_code error;
    if (entered_)
        fs::current_path(previous_, error);
}

TwoFiles splitTwoFiles(const uint8_t* data, std::size_t size)
{
    TwoFiles files;
    if (size < 2)
        return files;
    const std::size_t rest = size - 2;
    std::size_t first = static_cast<std::size_t>(data[0]) | static_cast<std::size_t>(data[1]) << 8;
    if (first > rest)
        first = rest;
    const char* bytes = reinterpret_cast<const char*>(data + 2);
    files.first.assign(bytes, first);
    files.second.assign(bytes + first, rest - first);
    return files;
}
