#include "import/point_sink.h"

#include <cmath>

PointBlock::PointBlock(PointSink& sink, ReadOutcome& outcome) : sink_(sink), outcome_(outcome) { }

bool PointBlock::add(double x, double y, double z)
{
    ++outcome_.records;
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) {
        ++outcome_.dropped[static_cast<std::size_t>(DropReason::NotFinite)];
        return true;
    }
    ++outcome_.kept;
    points_.push_back(ImportedPoint{x, y, z});
    return points_.size() < CAPACITY || flush();
}

void PointBlock::drop(DropReason reason)
{
    ++outcome_.records;
    ++outcome_.dropped[static_cast<std::size_t>(reason)];
}

bool PointBlock::flush()
{
    if (points_.empty()) {
        return true;
    }
    const bool taken = sink_.take(points_.data(), points_.size());
    points_.clear();  // keeps the capacity for the next block
    if (!taken) {
        outcome_.sinkStopped = true;
        return false;
    }
    return true;
}
