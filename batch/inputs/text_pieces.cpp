#include "batch/inputs/text_pieces.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::size_t BLOCK_BYTES = std::size_t(1) << 18;

}  // namespace

TextPieceReader::TextPieceReader(std::FILE* file) : file_(file) { }

void TextPieceReader::refill()
{
    if (buffer_.empty())
        buffer_.resize(BLOCK_BYTES);
    const std::size_t left = filled_ - start_;
    std::memmove(buffer_.data(), buffer_.data() + start_, left);
    start_ = 0;
    filled_ = left;
    while (!atEnd_ && filled_ < buffer_.size()) {
        const std::size_t n = std::fread(buffer_.data() + filled_, 1, buffer_.size() - filled_, file_);
        filled_ += n;
        if (n == 0)
            atEnd_ = true;
    }
}

bool TextPieceReader::next(std::size_t maxChars, std::string_view& piece)
{
    if (maxChars == 0 || file_ == nullptr)
        return false;
    // A piece never spans two blocks: keep at least maxChars bytes ahead, or the rest of the file.
    if (filled_ - start_ < maxChars && !atEnd_)
        refill();
    if (filled_ == start_)
        return false;
    const char* at = buffer_.data() + start_;
    std::size_t length = std::min(maxChars, filled_ - start_);
    if (const void* lineEnd = std::memchr(at, '\n', length))
        length = static_cast<std::size_t>(static_cast<const char*>(lineEnd) - at) + 1;
    piece = std::string_view(at, length);
    start_ += length;
    return true;
}
