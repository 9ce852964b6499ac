#pragma once
// The shared part of every libFuzzer harness: console output goes to /dev/null so
// the readers' chatter costs nothing, and a broken contract ends the run like a crash.
// TAVRIN_FUZZ_VERBOSE=1 keeps standard output, to watch a saved input replay.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// Standard error stays open: libFuzzer and the sanitizers report there. The
// readers' few standard error lines are discarded by running with -close_fd_mask=2.
inline void silenceStandardOutput()
{
    const char* verbose = std::getenv("TAVRIN_FUZZ_VERBOSE");
    if (verbose == nullptr || verbose[0] != '1')
        std::freopen("/dev/null", "w", stdout);
}

inline void stopOnFinding(const std::string& finding)
{
    if (finding.empty())
        return;
    std::fflush(stdout);
    std::fprintf(stderr, "reader contract broken: %s\n", finding.c_str());
    std::abort();
}

#define TAVRIN_FUZZ_HARNESS(feed)                                                                                      \
    extern "C" int LLVMFuzzerInitialize(int*, char***)                                                                 \
    {                                                                                                                  \
        silenceStandardOutput();                                                                                       \
        return 0;                                                                                                      \
    }                                                                                                                  \
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)                                       \
    {                                                                                                                  \
        stopOnFinding(feed(data, size));                                                                               \
        return 0;                                                                                                      \
    }
