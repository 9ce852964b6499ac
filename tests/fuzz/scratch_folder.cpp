#include "tests/fuzz/scratch_folder.h"

namespace {

const TempDir& processFolder()
{
    static const TempDir folder;
    return folder;
}

}  // namespace

const std::string& scratchFolder() { return processFolder().path(); }

std::string scratchPath(const std::string& name) { return scratchFolder() + "/" + name; }

ScratchFiles::~ScratchFiles() { processFolder().empty(); }

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
