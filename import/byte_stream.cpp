#include "import/byte_stream.h"

#include <cstring>

// A small input gets a buffer of its own size: the fuzz harnesses read thousands of
// them a second, and a megabyte each would be most of their time.
ByteStream::ByteStream(ByteSource& source, uint64_t start) : source_(source), bufferStart_(start)
{
    const uint64_t left = start < source.size() ? source.size() - start : 0;
    buffer_.resize(left < BLOCK_BYTES ? static_cast<std::size_t>(left) + 1 : BLOCK_BYTES);
}

uint64_t ByteStream::remaining() const
{
    const uint64_t at = offset();
    return at < source_.size() ? source_.size() - at : 0;
}

bool ByteStream::refill(std::size_t wanted)
{
    if (pos_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + pos_, end_ - pos_);
        bufferStart_ += pos_;
        end_ -= pos_;
        pos_ = 0;
    }
    if (wanted > buffer_.size()) {
        buffer_.resize(wanted);
    }
    if (end_ == buffer_.size()) {
        return false;
    }
    const std::size_t n = source_.read(bufferStart_ + end_, buffer_.data() + end_, buffer_.size() - end_);
    end_ += n;
    return n > 0;
}

const unsigned char* ByteStream::peek(std::size_t count)
{
    while (end_ - pos_ < count) {
        if (count > BLOCK_BYTES || !refill(count)) {
            return nullptr;
        }
    }
    return reinterpret_cast<const unsigned char*>(buffer_.data() + pos_);
}

bool ByteStream::read(void* out, std::size_t count)
{
    const unsigned char* bytes = peek(count);
    if (bytes == nullptr) {
        return false;
    }
    std::memcpy(out, bytes, count);
    pos_ += count;
    return true;
}

bool ByteStream::skip(uint64_t count)
{
    if (count <= end_ - pos_) {
        pos_ += static_cast<std::size_t>(count);
        return true;
    }
    if (count > remaining()) {
        return false;
    }
    // Past the buffer: drop it and restart reading at the new offset.
    bufferStart_ = offset() + count;
    pos_ = end_ = 0;
    return true;
}

LineStatus ByteStream::nextLine(std::string_view& line)
{
    std::size_t searched = pos_;
    for (;;) {
        const void* found = std::memchr(buffer_.data() + searched, '\n', end_ - searched);
        if (found != nullptr) {
            const std::size_t stop = static_cast<std::size_t>(static_cast<const char*>(found) - buffer_.data());
            std::size_t length = stop - pos_;
            if (length > MAX_LINE_BYTES) {
                return LineStatus::TooLong;
            }
            if (length > 0 && buffer_[pos_ + length - 1] == '\r') {
                --length;
            }
            line = std::string_view(buffer_.data() + pos_, length);
            pos_ = stop + 1;
            return LineStatus::Line;
        }
        const std::size_t held = end_ - pos_;
        if (held > MAX_LINE_BYTES) {
            return LineStatus::TooLong;
        }
        // refill() moves the unread bytes to the front; the search goes on after them.
        const std::size_t grow = end_ == buffer_.size() && pos_ == 0 ? buffer_.size() * 2 : buffer_.size();
        if (!refill(grow)) {
            if (held == 0) {
                return LineStatus::End;
            }
            std::size_t length = held;
            if (buffer_[pos_ + length - 1] == '\r') {
                --length;
            }
            line = std::string_view(buffer_.data() + pos_, length);
            pos_ = end_;
            return LineStatus::Line;
        }
        searched = pos_ + held;
    }
}
