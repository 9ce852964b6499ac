#pragma once

// Work spread over threads so that its results do not depend on how many there are: the
// range is cut into pieces, each index's result lands in a place of its own, and whatever
// adds results up does so afterwards, in index order, on one thread. One thread runs the
// work in the caller's thread, as a plain loop.

#include <cstdint>
#include <thread>
#include <vector>

/// The threads a run uses for THREADS = `setting`: 0 every core the system gives the
/// program, N at most N (and at least 1).
int32_t threadsFor(int32_t setting);

/// Calls body(begin, end) for contiguous pieces that cover [0, count), on up to `threads`
/// threads (fewer when there are fewer than `least` indices per thread), and returns
/// once every piece is done.
template <class Body>
void parallelFor(int32_t threads, int64_t count, int64_t least, Body&& body)
{
    int64_t pieces = threads > 1 ? threads : 1;
    if (least > 0 && count / least < pieces)
        pieces = count / least > 1 ? count / least : 1;
    if (pieces <= 1) {
        if (count > 0)
            body(int64_t{0}, count);
        return;
    }
    std::vector<std::thread> workers;
    workers.reserve(static_cast<std::size_t>(pieces - 1));
    for (int64_t k = 1; k < pieces; ++k)
        workers.emplace_back([&body, k, pieces, count] { body(count * k / pieces, count * (k + 1) / pieces); });
    body(int64_t{0}, count / pieces);
    for (std::thread& w : workers)
        w.join();
}
