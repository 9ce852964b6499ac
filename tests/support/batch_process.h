#pragma once

#include <string>
#include <vector>

// What a run of a batch build printed and how it ended.
struct BatchRun {
    int exitStatus = -1;   ///< the program's exit status, -1 when it did not exit normally
    double seconds = 0.0;  ///< wall-clock time from start to end
    std::string out;       ///< standard output, byte for byte
    std::string err;       ///< standard error, byte for byte
};

// Which build to run: the executable and, for the 32-bit build, the emulator.
struct BatchBuild {
    std::string exe;     ///< path of the executable
    std::string runner;  ///< empty, or qemu-i386 that runs the 32-bit build
};

// Conditions a run is started under, to simulate a full disk or a folder the
// program may not write to.
struct BatchLimits {
    long long fileSizeLimit = -1;  ///< bytes any file may grow to (RLIMIT_FSIZE); -1 none
    bool asNobody = false;         ///< run as the unprivileged user nobody (only when run as root)
    double killAfter = -1.0;       ///< seconds after the start to kill the run with SIGKILL; -1 never
};

/// The build named by the environment variables BATCH_EXE and BATCH_RUNNER
/// (with `suffix`, e.g. "_X64": BATCH_EXE_X64 and BATCH_RUNNER_X64).
BatchBuild batchBuildFromEnvironment(const std::string& suffix = "");

/// Runs the build in `workDir` with `args`, `input` piped to standard input, and
/// `argument0` as the program's own name (the batch program looks for its
/// configuration beside that name).
BatchRun runBatch(const BatchBuild& build, const std::string& workDir, const std::vector<std::string>& args,
                  const std::string& input, const std::string& argument0 = "tavrinbatch",
                  const BatchLimits& limits = {});
