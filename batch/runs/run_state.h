#pragma once

#include <cstdint>
#include <cstdio>

// What the batch driver decided for this start: created in main once the mode is
// chosen and handed to the run modes. The engine never sees it; it is told plain
// flags instead.
struct RunState {
    int32_t runMode = 1;           ///< the mode answered at the menu
    std::FILE* logFile = nullptr;  ///< the run's log, owned by main; null until it is open
    double progressStep = 0.0;     ///< percent per solver iteration, 100 / (MAXITER x scans)
};
