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

TextBlockReader::TextBlockReader(std::FILE* file, std::size_t blockBytes, std::size_t maxChars)
    : file_(file), maxChars_(maxChars), buffer_(std::max(blockBytes, 2 * maxChars + 1))
{ }

bool TextBlockReader::next(std::string_view& block)
{
    if (file_ == nullptr || maxChars_ == 0)
        return false;
    carried_ = filled_ - handed_;
    std::memmove(buffer_.data(), buffer_.data() + handed_, carried_);
    filled_ = carried_;
    while (!atEnd_ && filled_ < buffer_.size()) {
        const std::size_t n = std::fread(buffer_.data() + filled_, 1, buffer_.size() - filled_, file_);
        filled_ += n;
        if (n == 0)
            atEnd_ = true;
    }
    if (filled_ == 0)
        return false;
    handed_ = filled_;
    if (!atEnd_) {
        const std::string_view text(buffer_.data(), filled_);
        const std::size_t lastEnd = text.rfind('\n');
        // A block starts where a piece starts, so a line without its end here is cut
        // after whole pieces.
        handed_ = lastEnd != std::string_view::npos ? lastEnd + 1 : filled_ / maxChars_ * maxChars_;
    }
    block = std::string_view(buffer_.data(), handed_);
    return true;
}

void cutAfterLineEnds(std::string_view text, std::size_t count, std::vector<std::string_view>& parts)
{
    parts.clear();
    std::size_t from = 0;
    for (std::size_t k = 1; k <= count; ++k) {
        std::size_t to = text.size();
        if (k < count) {
            const std::size_t lineEnd = text.find('\n', std::max(from, text.size() * k / count));
            to = lineEnd == std::string_view::npos ? text.size() : lineEnd + 1;
        }
        parts.push_back(text.substr(from, to - from));
        from = to;
    }
}
