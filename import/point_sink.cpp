#include "import/point_sink.h"

#include <cmath>

PointBlock::PointBlock(PointSink& sink, ReadOutcome& outcome) : sink_(sink), outcome_(outcome), points_(CAPACITY) { }

bool PointBlock::add(double x, double y, double z)
{
    ++outcome_.records;
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) {
        ++outcome_.dropped[static_cast<std::size_t>(DropReason::NotFinite)];
        return true;
    }
    ++outcome_.kept;
    points_[used_++] = ImportedPoint{x, y, z};
    return used_ < CAPACITY || flush();
}

bool PointBlock::addColumns(const double* x, const double* y, const double* z, std::size_t count)
{
    for (std::size_t i = 0; i < count;) {
        const std::size_t n = count - i < CAPACITY - used_ ? count - i : CAPACITY - used_;
        const std::size_t before = used_;
        for (std::size_t end = i + n; i < end; ++i) {
            if (std::isfinite(x[i]) && std::isfinite(y[i]) && std::isfinite(z[i])) {
                points_[used_++] = ImportedPoint{x[i], y[i], z[i]};
            }
        }
        const int64_t kept = static_cast<int64_t>(used_ - before);
        outcome_.records += static_cast<int64_t>(n);
        outcome_.kept += kept;
        outcome_.dropped[static_cast<std::size_t>(DropReason::NotFinite)] += static_cast<int64_t>(n) - kept;
        if (used_ == CAPACITY && !flush()) {
            return false;
        }
    }
    return true;
}

void PointBlock::drop(DropReason reason)
{
    ++outcome_.records;
    ++outcome_.dropped[static_cast<std::size_t>(reason)];
}

bool PointBlock::flush()
{
    if (used_ == 0) {
        return true;
    }
    const bool taken = sink_.take(points_.data(), used_);
    used_ = 0;
    if (!taken) {
        outcome_.sinkStopped = true;
        return false;
    }
    return true;
}
