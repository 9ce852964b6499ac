#pragma once

#include <string>

// One run at a time on a survey's outputs: a lock file beside the survey database that
// holds the process id of the run that took it. A lock whose process no longer runs
// (a run that was killed) is taken over. The lock goes when its owner releases it or
// goes away.
class RunLock {
public:
    enum class Outcome {
        Taken,        ///< this run holds the lock
        HeldByOther,  ///< another run that still runs holds it: holder() names it
        Unavailable,  ///< no lock can be made there (a folder that takes no new file); the run goes on without
    };

    RunLock() = default;
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;
    ~RunLock() { release(); }

    /// Takes the lock file `path` for this process.
    Outcome take(const std::string& path);
    /// The process id of the run that holds the lock, after HeldByOther.
    int holder() const { return holder_; }
    /// Removes the lock file when this run took it and it still names this run.
    void release();

private:
    std::string path_;  ///< the lock this run holds; empty when none
    int holder_ = 0;
};
