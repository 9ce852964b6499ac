#pragma once

// How a run ended. Incomplete: the run went on to its end, but some pair has no valid
// RMS or some scan file could not be read (the program ends with status 2). Failed: the
// run went on to its end but something could not be written, so the program ends with
// status 1. Fatal: the run stopped at a condition it printed; the program waits for
// ENTER and ends with status 1.
enum class RunStatus { Ok, Incomplete, Failed, Fatal };

/// Combines two statuses: the worse one wins.
inline RunStatus worse(RunStatus a, RunStatus b) { return static_cast<int>(a) > static_cast<int>(b) ? a : b; }
