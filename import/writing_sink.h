#pragma once
// The sink of a conversion: writes what a reader keeps to the .bxyz, gathers the
// statistics of the summary and shows the progress line on stderr for big inputs.

#include "import/bxyz_writer.h"
#include "import/cloud_stats.h"
#include "import/point_sink.h"

#include <cstdint>

class WritingSink : public PointSink {
public:
    /// `inputBytes` sizes the progress; `showProgress` false never shows it.
    WritingSink(BxyzWriter& writer, CloudStats& stats, uint64_t inputBytes, bool showProgress);
    /// Ends the progress line, if one was shown.
    ~WritingSink() override;

    void setScannerPosition(const ImportedPoint& scanner) override { stats_.scanner = scanner; }
    void expectRecords(int64_t records) override;
    void progress(uint64_t bytesRead) override;
    bool take(const ImportedPoint* points, std::size_t count) override;

private:
    BxyzWriter& writer_;
    CloudStats& stats_;
    uint64_t inputBytes_;
    bool allowed_;
    bool show_ = false;
    int shownPercent_ = -1;
};

/// Inputs announcing at least this many points show a progress line.
constexpr int64_t PROGRESS_POINTS = 10000000;
