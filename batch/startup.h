#pragma once

#include <vector>

struct RegSettings;
struct RunState;
struct ScanRecord;

enum class StartupResult { Proceed, Quit, Fatal };

/// The start-up dialogue: reads the survey database into `scans`, finds every scan's
/// neighbours, prints the scan and neighbour lists and asks for the confirmation; then
/// sets the run's progress step. Quit: the user answered x. Fatal: the database cannot
/// be read (the message is printed; the caller waits and ends).
StartupResult loadScansAndConfirm(const RegSettings& settings, RunState& run, std::vector<ScanRecord>& scans);
