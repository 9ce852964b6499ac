#pragma once

#include <string>
#include <vector>

struct RegSettings;
struct ScanRecord;
struct PairContext;

// How a run ended. Failed: the run went on to its end but something could not be
// written or read, so the program ends with status 1. Fatal: the run stopped at a
// condition it printed; the program waits for ENTER and ends with status 1.
enum class RunStatus { Ok, Failed, Fatal };

/// Combines two statuses: the worse one wins.
RunStatus worse(RunStatus a, RunStatus b);

/// Runs the work of `settings.runMode`, with its banners, in dispatch order.
/// `file1` and `file2` are the two point files of run mode 5.
RunStatus runSelectedMode(RegSettings& settings, std::vector<ScanRecord>& scans, PairContext& pair,
                          const std::string& file1, const std::string& file2);
