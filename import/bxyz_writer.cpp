#include "import/bxyz_writer.h"

#include <cstring>

namespace {

constexpr std::size_t BUFFER_RECORDS = 65536;  // one fwrite per 2 MiB

void putLittleEndian(unsigned char* out, double value)
{
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    for (int32_t k = 0; k < 8; ++k) {
        out[k] = static_cast<unsigned char>(bits >> (8 * k));
    }
}

}  // namespace

bool BxyzWriter::open(const std::string& target, std::string& error)
{
    buffer_.assign(BUFFER_RECORDS * POINT_RECORD_BYTES, 0);
    used_ = 0;
    records_ = 0;
    failed_ = false;
    return file_.open(target, error);
}

bool BxyzWriter::flush()
{
    if (used_ > 0 && !failed_) {
        failed_ = std::fwrite(buffer_.data(), 1, used_, file_.file()) != used_;
    }
    used_ = 0;
    return !failed_;
}

bool BxyzWriter::write(const ImportedPoint* points, std::size_t count)
{
    failed_ = failed_ || buffer_.empty();
    for (std::size_t i = 0; i < count && !failed_; ++i) {
        if (used_ == buffer_.size() && !flush()) {
            break;
        }
        unsigned char* record = buffer_.data() + used_;
        putLittleEndian(record, points[i].x);
        putLittleEndian(record + 8, points[i].y);
        putLittleEndian(record + 16, points[i].z);
        std::memset(record + 24, 0, 8);
        used_ += POINT_RECORD_BYTES;
        ++records_;
    }
    return !failed_;
}

bool BxyzWriter::finishPoints()
{
    const bool written = flush();
    buffer_ = std::vector<unsigned char>();
    return written;
}

bool BxyzWriter::commit(std::string& error)
{
    if (!flush()) {
        error = "writing " + file_.writtenPath() + " failed (disk full or no longer writable?)";
        file_.discard();
        return false;
    }
    return file_.commit(error);
}
