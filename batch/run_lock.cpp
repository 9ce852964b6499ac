#include "batch/run_lock.h"

#include "batch/file_ptr.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <system_error>

#if defined(__unix__) || defined(__APPLE__)
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#define TAVRIN_POSIX_PROCESSES 1
#elif defined(_WIN32)
#include <process.h>
#endif

namespace {

int ownProcessId()
{
#if defined(TAVRIN_POSIX_PROCESSES)
    return static_cast<int>(getpid());
#elif defined(_WIN32)
    return _getpid();
#else
    return 0;
#endif
}

// The process id a lock file names; 0 when it names none.
int lockHolder(const std::string& path)
{
    FilePtr file(std::fopen(path.c_str(), "r"));
    char text[32] = {};
    if (!file || std::fgets(text, sizeof text, file.get()) == nullptr)
        return 0;
    char* end = nullptr;
    const long pid = std::strtol(text, &end, 10);
    return end != text && pid > 0 && pid < 0x7fffffff ? static_cast<int>(pid) : 0;
}

#if defined(__linux__)
// Seconds since the epoch at which process `pid` started, from the kernel's process
// table; -1 when unknown.
double processStartTime(int pid)
{
    char name[64];
    std::snprintf(name, sizeof name, "/proc/%i/stat", pid);
    FilePtr stat(std::fopen(name, "r"));
    char text[1024] = {};
    const std::size_t n = stat ? std::fread(text, 1, sizeof text - 1, stat.get()) : 0;
    text[n] = '\0';
    // Field 22, the start in clock ticks after boot, counted after the name in parentheses.
    const char* p = nullptr;
    for (const char* q = text; *q != '\0'; ++q)
        if (*q == ')')
            p = q;
    for (int field = 2; p != nullptr && field < 22; ++field) {
        while (*p != '\0' && *p != ' ')
            ++p;
        p = *p == ' ' ? p + 1 : nullptr;
    }
    FilePtr system(std::fopen("/proc/stat", "r"));
    long long boot = -1;
    char line[256];
    while (system && boot < 0 && std::fgets(line, sizeof line, system.get()) != nullptr)
        if (std::sscanf(line, "btime %lld", &boot) != 1)
            boot = -1;
    const long ticks = sysconf(_SC_CLK_TCK);
    if (p == nullptr || boot < 0 || ticks <= 0)
        return -1.0;
    return static_cast<double>(boot) + std::strtod(p, nullptr) / static_cast<double>(ticks);
}
#endif

// True while process `pid`, which wrote the lock file `path`, may still run. A process
// that started after the lock was written has only been given the same number again.
bool stillRuns(int pid, const std::string& path)
{
    if (pid <= 0 || pid == ownProcessId())
        return false;
#if defined(TAVRIN_POSIX_PROCESSES)
    if (kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
        return false;
#if defined(__linux__)
    struct stat lock;
    const double started = processStartTime(pid);
    // Two seconds for the whole seconds of the boot time.
    if (started >= 0.0 && stat(path.c_str(), &lock) == 0 && started > static_cast<double>(lock.st_mtime) + 2.0)
        return false;
#endif
    return true;
#else
    (void)path;
    return true;  // no way to ask: the user removes a lock that is left over
#endif
}

// A lock file that names no process: a run that is writing it this moment, unless it
// was left that way long ago.
bool freshlyCreated(const std::string& path)
{
    std::error_code error;
    const auto written = std::filesystem::last_write_time(path, error);
    if (error)
        return false;
    const auto age = std::filesystem::file_time_type::clock::now() - written;
    return age < std::chrono::seconds(10);
}

}  // namespace

RunLock::Outcome RunLock::take(const std::string& path)
{
    release();
    holder_ = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        // "x": created only when no lock file exists, in one step.
        if (FilePtr file{std::fopen(path.c_str(), "wx")}) {
            const bool written = std::fprintf(file.get(), "%i\n", ownProcessId()) > 0;
            if (std::fclose(file.release()) != 0 || !written) {
                std::remove(path.c_str());
                return Outcome::Unavailable;
            }
            path_ = path;
            return Outcome::Taken;
        }
        std::error_code error;
        if (!std::filesystem::is_regular_file(path, error))
            return Outcome::Unavailable;  // no file in the way: the folder takes none, or something else stands there
        const int pid = lockHolder(path);
        if (pid > 0 ? stillRuns(pid, path) : freshlyCreated(path)) {
            holder_ = pid;
            return Outcome::HeldByOther;
        }
        // Left by a run that no longer runs: removed, unless another run took it over meanwhile.
        if (lockHolder(path) == pid)
            std::remove(path.c_str());
    }
    return Outcome::Unavailable;
}

void RunLock::release()
{
    if (!path_.empty() && lockHolder(path_) == ownProcessId())
        std::remove(path_.c_str());
    path_.clear();
}
