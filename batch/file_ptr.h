#pragma once

#include <cstdio>
#include <memory>

// A C file that closes itself. Where a failed write matters, the owner checks
// std::ferror and the result of fclose itself (see OutputFile).
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;
