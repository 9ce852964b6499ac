#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

// Reads an open text file in large blocks and hands it out in the pieces that repeated
// std::fgets calls with room for `maxChars` characters would return: everything up to and
// including the next line end, but at most `maxChars` characters (a longer line comes in
// several pieces). The pieces are the file's bytes as they are, NUL characters included.
class TextPieceReader {
public:
    /// Reads from `file`, which stays the caller's.
    explicit TextPieceReader(std::FILE* file);

    /// The next piece (valid until the next call); false at the end of the file.
    /// `maxChars` stays far below the block size (a quarter of a megabyte).
    bool next(std::size_t maxChars, std::string_view& piece);

private:
    void refill();

    std::FILE* file_ = nullptr;
    std::vector<char> buffer_;  ///< the block read last; [start_, filled_) not handed out yet
    std::size_t start_ = 0;
    std::size_t filled_ = 0;
    bool atEnd_ = false;  ///< the file has no more bytes to read
};

/// `piece` up to its first NUL character: what a C string read by std::fgets shows of it.
inline std::string_view beforeNul(std::string_view piece)
{
    const std::size_t nul = piece.find('\0');
    return nul == std::string_view::npos ? piece : piece.substr(0, nul);
}

/// The next piece of the text [at, end), as TextPieceReader::next hands it out of a file
/// that holds that text; advances `at`. False when the text is used up.
inline bool nextPiece(const char*& at, const char* end, std::size_t maxChars, std::string_view& piece)
{
    if (at >= end || maxChars == 0)
        return false;
    std::size_t length = std::min(maxChars, static_cast<std::size_t>(end - at));
    if (const void* lineEnd = std::memchr(at, '\n', length))
        length = static_cast<std::size_t>(static_cast<const char*>(lineEnd) - at) + 1;
    piece = std::string_view(at, length);
    at += length;
    return true;
}

// Reads an open text file in large blocks that each end where a piece of `maxChars`
// characters ends (see TextPieceReader): after the block's last line end, or, in a line
// longer than the block, after the last whole piece. Cut into pieces, the blocks give
// the file's pieces in order.
class TextBlockReader {
public:
    /// Reads from `file`, which stays the caller's; `blockBytes` well above `maxChars`.
    TextBlockReader(std::FILE* file, std::size_t blockBytes, std::size_t maxChars);

    /// The next block (valid until the next call); false at the end of the file.
    bool next(std::string_view& block);

private:
    std::FILE* file_ = nullptr;
    std::size_t maxChars_ = 0;
    std::vector<char> buffer_;
    std::size_t carried_ = 0;  ///< bytes at the front of buffer_ left over from the last block
    std::size_t handed_ = 0;   ///< bytes of buffer_ handed out last
    std::size_t filled_ = 0;
    bool atEnd_ = false;
};

/// Cuts `text` into `count` parts, in order, each but the last ending just after a line
/// end (a part may be empty): pieces of the parts are the pieces of the text.
void cutAfterLineEnds(std::string_view text, std::size_t count, std::vector<std::string_view>& parts);
