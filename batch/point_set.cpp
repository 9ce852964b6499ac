#include "batch/point_set.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

void adviseHugePages(void* data, std::size_t bytes)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // Worth it only for blocks that span whole 2 MiB pages. madvise takes a start on a
    // page boundary; the kernel backs the 2 MiB-aligned parts of the range with huge
    // pages when they are first touched, where the system allows it (else it ignores
    // the advice, and nothing is lost).
    constexpr std::uintptr_t HUGE_PAGE = 2u << 20, PAGE = 4096;
    if (data == nullptr || bytes < 2 * HUGE_PAGE)
        return;
    const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(data) & ~(PAGE - 1);
    const std::uintptr_t end = reinterpret_cast<std::uintptr_t>(data) + bytes;
    madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

void makeRoomFor(std::vector<CubePoint>& points, std::size_t count)
{
    if (points.capacity() >= count)
        return;
    std::vector<CubePoint>().swap(points);
    points.reserve(count);
    adviseHugePages(points.data(), points.capacity() * sizeof(CubePoint));
}
