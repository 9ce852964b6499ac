#include "batch/parallel_for.h"

#if defined(__linux__)
#include <sched.h>
#endif

int32_t threadsFor(int32_t setting)
{
    if (setting > 0)
        return setting;
    int32_t cores = static_cast<int32_t>(std::thread::hardware_concurrency());
#if defined(__linux__)
    // The cores this process may run on, which a container or taskset may narrow.
    cpu_set_t allowed;
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0)
        cores = CPU_COUNT(&allowed);
#endif
    return cores > 0 ? cores : 1;
}
