#pragma once
// Sequential reading of a ByteSource through one reused buffer: fixed-size
// fields, skipped runs and text lines. Nothing is read twice and memory stays at
// the buffer's size, whatever the size of the input.

#include "import/byte_source.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

enum class LineStatus { Line, End, TooLong };

class ByteStream {
public:
    static constexpr std::size_t BLOCK_BYTES = std::size_t{1} << 20;
    /// Longest text line taken; a longer one means the input is not the text we expect.
    static constexpr std::size_t MAX_LINE_BYTES = std::size_t{1} << 20;

    explicit ByteStream(ByteSource& source, uint64_t start = 0);

    /// Input offset of the next byte to be consumed.
    uint64_t offset() const { return bufferStart_ + pos_; }
    /// Bytes of the input after offset().
    uint64_t remaining() const;
    /// The source reported a read error.
    bool failed() const { return source_.failed(); }

    /// Makes `count` bytes (at most BLOCK_BYTES) available at the reading position;
    /// nullptr when the input ends before them. Does not consume them.
    const unsigned char* peek(std::size_t count);
    /// Consumes bytes made available by peek().
    void consume(std::size_t count) { pos_ += count; }
    /// Copies the next `count` bytes into `out` and consumes them; false at the end of the input.
    bool read(void* out, std::size_t count);
    /// Moves the reading position forward by `count` bytes; false when that passes the end.
    bool skip(uint64_t count);

    /// The next line without its "\n" or "\r\n"; the last line may lack its "\n".
    /// The view lives until the next call on the stream.
    LineStatus nextLine(std::string_view& line);

private:
    /// Keeps the unread bytes, grows the buffer to `wanted` if needed and reads more;
    /// false when nothing more could be read.
    bool refill(std::size_t wanted);

    ByteSource& source_;
    std::vector<char> buffer_;
    uint64_t bufferStart_ = 0;  ///< input offset of buffer_[0]
    std::size_t pos_ = 0;       ///< next unread byte in buffer_
    std::size_t end_ = 0;       ///< one past the last valid byte in buffer_
};
