#pragma once

#include <vector>

struct RegSettings;
struct ScanRecord;
struct PairContext;

// Ready: both scans have points, stamped and sorted. NoPoints: a scan yielded no
// points (the loaders printed why). Fatal: a cube held too many points (printed).
enum class PrepareResult { Ready, NoPoints, Fatal };

/// Loads, transforms, stamps and sorts the pair that `pair` names, and in run modes
/// 1, 5 and 6 measures its initial RMS.
PrepareResult prepareRegistration(const RegSettings& settings, const std::vector<ScanRecord>& scans,
                                  PairContext& pair);
