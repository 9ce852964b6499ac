#pragma once

#include <cstddef>
#include <cstdio>
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
