#include "tests/support/test_files.h"

#include "batch/file_ptr.h"

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace fs = std::filesystem;

TempDir::TempDir()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/tavrin-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) != nullptr)
        path_ = buffer.data();
}

TempDir::~TempDir()
{
    if (path_.empty() || std::getenv("TAVRIN_KEEP_TEMP") != nullptr)
        return;
    std::error_code error;
    fs::remove_all(path_, error);
}

void TempDir::empty() const
{
    if (path_.empty())
        return;
    std::error_code error;
    for (fs::directory_iterator it(path_, error), end; !error && it != end; it.increment(error)) {
        std::error_code ignored;
        fs::remove_all(it->path(), ignored);
    }
}

WorkingFolder::WorkingFolder(const std::string& folder)
{
    std::error_code error;
    previous_ = fs::current_path(error).string();
    if (error || folder.empty())
        return;
    fs::current_path(folder, error);
    entered_ = !error;
}

WorkingFolder::~WorkingFolder()
{
    std::error_code error;
    if (entered_)
        fs::current_path(previous_, error);
}

bool writeFile(const std::string& path, const void* data, std::size_t size)
{
    FilePtr file(std::fopen(path.c_str(), "wb"));
    if (!file)
        return false;
    if (size > 0 && std::fwrite(data, 1, size, file.get()) != size)
        return false;
    return std::fclose(file.release()) == 0;
}

bool writeFile(const std::string& path, const std::string& bytes)
{
    return writeFile(path, bytes.data(), bytes.size());
}

std::string readFile(const std::string& path)
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

bool fileExists(const std::string& path)
{
    std::error_code error;
    return fs::exists(path, error);
}
