#include "tests/support/batch_process.h"

#include "tests/support/test_files.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string environment(const std::string& name)
{
    const char* value = std::getenv(name.c_str());
    return value != nullptr ? value : "";
}

// A full disk: writes past the limit fail (instead of the signal ending the program).
void applyLimits(const BatchLimits& limits)
{
    if (limits.fileSizeLimit >= 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit size{static_cast<rlim_t>(limits.fileSizeLimit), static_cast<rlim_t>(limits.fileSizeLimit)};
        if (setrlimit(RLIMIT_FSIZE, &size) != 0)
            _exit(126);
    }
    if (limits.asNobody && getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
        _exit(126);
}

[[noreturn]] void execInChild(const BatchBuild& build, const std::string& workDir, const std::vector<std::string>& args,
                              const std::string& argument0, const std::string& inPath, const std::string& outPath,
                              const std::string& errPath, const BatchLimits& limits)
{
    const int in = open(inPath.c_str(), O_RDONLY);
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0
        || chdir(workDir.c_str()) != 0)
        _exit(127);
    applyLimits(limits);
    std::vector<std::string> words;
    if (!build.runner.empty())
        words = {build.runner, "-0", argument0, build.exe};
    else
        words = {argument0};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    execv(build.runner.empty() ? build.exe.c_str() : build.runner.c_str(), argv.data());
    _exit(127);
}

}  // namespace

BatchBuild batchBuildFromEnvironment(const std::string& suffix)
{
    return {environment("BATCH_EXE" + suffix), environment("BATCH_RUNNER" + suffix)};
}

BatchRun runBatch(const BatchBuild& build, const std::string& workDir, const std::vector<std::string>& args,
                  const std::string& input, const std::string& argument0, const BatchLimits& limits)
{
    TempDir io;
    const std::string inPath = io.file("stdin"), outPath = io.file("stdout"), errPath = io.file("stderr");
    writeFile(inPath, input);
    BatchRun run;
    const pid_t child = fork();
    if (child == 0)
        execInChild(build, workDir, args, argument0, inPath, outPath, errPath, limits);
    const auto start = std::chrono::steady_clock::now();
    auto elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
    int status = 0;
    bool ended = false;
    if (child > 0 && limits.killAfter >= 0.0) {
        // Waits without blocking until the moment comes, then kills whatever is left.
        while (!ended && elapsed() < limits.killAfter) {
            ended = waitpid(child, &status, WNOHANG) == child;
            if (!ended)
                usleep(1000);
        }
        if (!ended)
            kill(child, SIGKILL);
    }
    if (child > 0 && (ended || waitpid(child, &status, 0) == child) && WIFEXITED(status))
        run.exitStatus = WEXITSTATUS(status);
    run.seconds = elapsed();
    run.out = readFile(outPath);
    run.err = readFile(errPath);
    return run;
}
