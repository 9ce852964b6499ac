#include "import/writing_sink.h"

#include <cstdio>

namespace {

// A text point line takes about this many bytes; it sizes the progress decision
// for inputs that announce no count.
constexpr uint64_t TEXT_BYTES_PER_POINT = 30;

}  // namespace

WritingSink::WritingSink(BxyzWriter& writer, CloudStats& stats, uint64_t inputBytes, bool showProgress)
    : writer_(writer), stats_(stats), inputBytes_(inputBytes), allowed_(showProgress)
{
    show_ = allowed_ && inputBytes_ / TEXT_BYTES_PER_POINT >= static_cast<uint64_t>(PROGRESS_POINTS);
}

WritingSink::~WritingSink()
{
    if (shownPercent_ >= 0) {
        std::fprintf(stderr, "\n");
    }
}

void WritingSink::expectRecords(int64_t records) { show_ = allowed_ && records >= PROGRESS_POINTS; }

void WritingSink::progress(uint64_t bytesRead)
{
    if (!show_ || inputBytes_ == 0) {
        return;
    }
    const int percent = static_cast<int>(bytesRead >= inputBytes_ ? 100 : bytesRead * 100 / inputBytes_);
    if (percent != shownPercent_) {
        shownPercent_ = percent;
        std::fprintf(stderr, "\rReading: %3i%%", percent);
        std::fflush(stderr);
    }
}

bool WritingSink::take(const ImportedPoint* points, std::size_t count)
{
    addToStats(stats_, points, count);
    return writer_.write(points, count);
}
