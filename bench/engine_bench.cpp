// engine_bench: times the pair preparation, the pairing walks and the four solution
// methods on one neighbouring pair of the example survey, one size per process so
// that the peak memory belongs to that size alone.
// Usage: engine_bench --points N [--work DIR] [--engine-only] [--methods 0123] [--repeat K]
// The survey is generated once into DIR/engine_N and reused after that. The engine's
// own console lines go to DIR/engine_N/bench.log; the table goes to standard output.
// Exit status: 0 done, 1 failure, 2 bad command line.

#include "batch/engine/pair_context.h"
#include "batch/engine/pair_preparation.h"
#include "batch/engine/pairing.h"
#include "batch/engine/search_cubes.h"
#include "batch/engine/solver_workspace.h"
#include "batch/engine/solvers.h"
#include "batch/engine/transform.h"
#include "batch/inputs/point_files.h"
#include "bench/bench_survey.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct BenchOptions {
    int32_t points = 0;              ///< target points per scan
    std::string work = "out/bench";  ///< folder of the cached surveys
    bool engineOnly = false;         ///< skip the solution methods
    std::string methods = "0123";    ///< REGSOL values to run, in this order
    int32_t repeat = 5;              ///< timings of each walk
};

// The table's stream: the process's standard output, kept apart from the engine's lines.
std::FILE* table = stdout;

// Processor seconds of this process: a solve slowed down by other jobs on the
// machine shows that as wall time beyond this.
double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

template <class F>
double secondsOf(F&& f)
{
    const Clock::time_point start = Clock::now();
    f();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void line(const std::string& what, double seconds)
{
    std::fprintf(table, "%-48s %9.1f ms\n", what.c_str(), seconds * 1000.0);
    std::fflush(table);
}

// Peak resident memory of this process so far, in bytes (VmHWM); 0 when unknown.
int64_t peakResidentBytes()
{
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status)
        return 0;
    char text[256];
    long long kib = 0;
    while (std::fgets(text, sizeof text, status))
        if (std::sscanf(text, "VmHWM: %lld kB", &kib) == 1)
            break;
    std::fclose(status);
    return static_cast<int64_t>(kib) * 1024;
}

void memoryLine(const char* what, const PairContext& pair)
{
    const double peak = static_cast<double>(peakResidentBytes());
    const double records = static_cast<double>(pair.scan1.points.size() + pair.scan2.points.size()) * 32.0;
    std::fprintf(table, "%-48s %9.1f MiB (%.2f x the two scans' 32-byte records)\n", what, peak / 1048576.0,
                 peak / records);
    std::fflush(table);
}

bool parseCount(const char* text, int32_t& value)
{
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < 1 || v > 100000000)
        return false;
    value = static_cast<int32_t>(v);
    return true;
}

bool parseOptions(int argc, char** argv, BenchOptions& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string key = argv[i];
        if (key == "--engine-only") {
            o.engineOnly = true;
            continue;
        }
        if (i + 1 >= argc)
            return false;
        const char* value = argv[++i];
        if (key == "--work")
            o.work = value;
        else if (key == "--methods")
            o.methods = value;
        else if (!((key == "--points" && parseCount(value, o.points))
                   || (key == "--repeat" && parseCount(value, o.repeat))))
            return false;
    }
    const bool methodsKnown = o.methods.find_first_not_of("0123") == std::string::npos;
    return o.points >= 1000 && o.points <= 20000000 && methodsKnown;
}

struct PieceTimes {
    double load = 0.0, transform = 0.0, grid = 0.0, stampAndSort = 0.0;  ///< seconds
};

// The steps of prepareRegistration one by one, through the functions it calls.
PieceTimes timePieces(const BenchSurvey& b, PointSet& s1, PointSet& s2, CubeSortBuffers& buffers)
{
    const ScanRecord& r1 = b.scans[static_cast<std::size_t>(b.scan1)];
    const ScanRecord& r2 = b.scans[static_cast<std::size_t>(b.scan2)];
    PieceTimes t;
    t.load = secondsOf([&] {
        readBinaryPoints(r1.fileName, s1.points);
        readBinaryPoints(r2.fileName, s2.points);
    });
    t.transform = secondsOf([&] {
        applyScanTransform(s1.points, makeScanTransform(r1.rotX, r1.rotY, r1.rotZ, 1.0, r1.x, r1.y, r1.z));
        applyScanTransform(s2.points, makeScanTransform(r2.rotX, r2.rotY, r2.rotZ, 1.0, r2.x, r2.y, r2.z));
    });
    CubeGrid grid;
    t.grid = secondsOf([&] {
        s1.extent = computeExtent(s1.points);
        s2.extent = computeExtent(s2.points);
        buildCubeGrid(overlapOf(s1.extent, s2.extent), b.settings.ZMIN, b.settings, grid);
    });
    t.stampAndSort = secondsOf([&] {
        stampAndSortByCube(s1.points, grid, buffers);
        stampAndSortByCube(s2.points, grid, buffers);
    });
    return t;
}

// Fresh buffers: the first pair of a run, every page touched for the first time.
// Reused buffers: a later pair, refilling the memory of the one before.
void piecesTable(const BenchSurvey& b)
{
    PointSet s1, s2;
    CubeSortBuffers buffers;
    for (const char* pass : {", fresh buffers", ", reused buffers"}) {
        const PieceTimes t = timePieces(b, s1, s2, buffers);
        line(std::string("prepare: load 2 scans") + pass, t.load);
        line(std::string("prepare: transform 2 scans") + pass, t.transform);
        line(std::string("prepare: extents, overlap, cube grid") + pass, t.grid);
        line(std::string("prepare: stamp and sort 2 scans") + pass, t.stampAndSort);
    }
}

// Times `walk` `repeat` times; prints the best and the median wall time and the best
// processor time, and returns the latter (the least disturbed by other jobs).
template <class Walk>
double timeWalk(const std::string& what, int32_t repeat, Walk&& walk)
{
    std::vector<double> wall, cpu;
    for (int32_t i = 0; i < repeat; ++i) {
        const double cpu0 = cpuSeconds();
        wall.push_back(secondsOf(walk));
        cpu.push_back(cpuSeconds() - cpu0);
    }
    std::sort(wall.begin(), wall.end());
    const double bestCpu = *std::min_element(cpu.begin(), cpu.end());
    line(what + ", best", wall.front());
    line(what + ", median", wall[wall.size() / 2]);
    line(what + ", best cpu", bestCpu);
    return bestCpu;
}

struct WalkTimes {
    double rms = 0.0;       ///< processor seconds, best computePairRms walk
    double rotation = 0.0;  ///< processor seconds, best computePairRotation walk
};

// Scan 2 against scan 1, as the initial RMS measures it.
WalkTimes walkTable(const BenchSurvey& b, PairContext& pair, int32_t repeat)
{
    const RegSettings& s = b.settings;
    const PairingInput in{pair.scan2.points, pair.scan1.points, pair.cubeCount, s.ZMIN};
    const ScanRecord& r2 = b.scans[static_cast<std::size_t>(b.scan2)];
    PairingResult last;
    WalkTimes w;
    w.rms = timeWalk("walk: computePairRms", repeat,
                     [&] { last = computePairRms(s, in, s.MAXDISTINITIAL, pair.candidates); });
    std::fprintf(table, "%-48s %9i\n", "walk: pairs within MAXDISTINITIAL", last.pairCount);
    w.rotation = timeWalk("walk: computePairRotation", repeat, [&] {
        last = computePairRotation(s, in, s.MAXDISTINITIAL, s.MINDISTINITIAL, r2.x, r2.y, pair.candidates);
    });
    return w;
}

const char* methodName(int32_t regsol)
{
    const char* names[] = {"partial least squares", "iterative search", "ping-pong", "point to plane"};
    return names[regsol];
}

// One full registration of the pair per method, each after a fresh preparation
// (not timed). For the first three methods the walks' share is estimated from the
// best single walk's processor time; point to plane walks its own nearest-point
// index, so only its passes are counted.
bool solverTable(const BenchSurvey& b, PairContext& pair, const BenchOptions& o, const WalkTimes& walk)
{
    std::fprintf(table,
                 "solvers at the defaults: MAXREPEAT %i, MAXITER %i, ALPHA %g deg, ALPHAINC %i, "
                 "ALPHATHRESH %g deg, RMSTHRESH %g\n",
                 b.settings.MAXREPEAT, b.settings.MAXITER, RegSettings{}.ALPHA, b.settings.ALPHAINC,
                 RegSettings{}.ALPHATHRESH, b.settings.RMSTHRESH);
    for (const char m : o.methods) {
        RegSettings s = b.settings;
        s.REGSOL = m - '0';
        std::vector<ScanRecord> scans = b.scans;
        if (prepareRegistration(s, scans, pair, registrationSteps()) != PrepareResult::Ready)
            return false;
        SolverWorkspace workspace;
        SolveProgress progress;
        progress.pairsInAll = static_cast<int32_t>(scans.size());
        progress.progressStep = 1.0;
        SolverOutputs out;
        SolveResult r;
        const double cpu0 = cpuSeconds();
        const double t = secondsOf([&] { r = solveWithSelectedMethod(s, scans, pair, workspace, progress, out); });
        const double cpu = cpuSeconds() - cpu0;
        std::fprintf(table, "solve REGSOL %i, %-21s %9.1f ms (cpu %.1f ms); ", s.REGSOL, methodName(s.REGSOL),
                     t * 1000.0, cpu * 1000.0);
        if (s.REGSOL == 3) {
            std::fprintf(table, "%lli passes", static_cast<long long>(progress.walkCount));
        } else {
            const double perWalk = s.REGSOL == 1 ? walk.rms : walk.rotation;
            const double walks = static_cast<double>(progress.walkCount) * perWalk;
            std::fprintf(table, "%lli walks x %.2f ms = %.1f ms, cpu %.1f x that",
                         static_cast<long long>(progress.walkCount), perWalk * 1000.0, walks * 1000.0, cpu / walks);
        }
        std::fprintf(table, "; rms %.4f, turns %.3f and %.3f deg\n", r.rms, out.rotation1, out.rotation2);
        std::fflush(table);
        if (r.fatal)
            return false;
    }
    return true;
}

int runBench(const BenchOptions& o)
{
    const std::string dir = o.work + "/engine_" + std::to_string(o.points);
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    // The engine's console lines go to the log; the table keeps the real standard output.
    table = fdopen(dup(fileno(stdout)), "w");
    if (!table || !std::freopen((dir + "/bench.log").c_str(), "w", stdout)) {
        std::fprintf(stderr, "Cannot create %s/bench.log\n", dir.c_str());
        return 1;
    }
    dup2(fileno(stdout), fileno(stderr));
    if (!ensureBenchSurvey(dir, o.points)) {
        std::fprintf(table, "Cannot generate the survey in %s (see its bench.log)\n", dir.c_str());
        return 1;
    }
    const std::optional<BenchSurvey> b = loadBenchSurvey(dir);
    if (!b) {
        std::fprintf(table, "Cannot load the survey in %s (see its bench.log)\n", dir.c_str());
        return 1;
    }
    std::fprintf(table, "engine_bench --points %i: scans %i and %i of %s\n", o.points,
                 b->scans[static_cast<std::size_t>(b->scan1)].scanId,
                 b->scans[static_cast<std::size_t>(b->scan2)].scanId, dir.c_str());

    // In run mode 1 the preparation ends with the two walks of the initial RMS.
    PairContext pair;
    nameBenchPair(*b, pair);
    PrepareResult prepared = PrepareResult::Fatal;
    for (const char* what : {"prepareRegistration, fresh context", "prepareRegistration, reused context"}) {
        line(what,
             secondsOf([&] { prepared = prepareRegistration(b->settings, b->scans, pair, registrationSteps()); }));
        memoryLine("  peak memory so far", pair);
    }
    if (prepared != PrepareResult::Ready) {
        std::fprintf(table, "The pair could not be prepared (see bench.log)\n");
        return 1;
    }
    std::fprintf(table, "%-48s %9i + %i, %i cubes\n", "points of the pair",
                 static_cast<int32_t>(pair.scan1.points.size()), static_cast<int32_t>(pair.scan2.points.size()),
                 pair.cubeCount);
    const WalkTimes walk = walkTable(*b, pair, o.repeat);
    memoryLine("peak memory, engine", pair);
    // After the peak is read: the pieces hold a second copy of the pair.
    piecesTable(*b);
    if (o.engineOnly)
        return 0;
    if (!solverTable(*b, pair, o, walk))
        return 1;
    memoryLine("peak memory, with the solvers' working copies", pair);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    BenchOptions options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "Usage: engine_bench --points N [--work DIR] [--engine-only] [--methods 0123] "
                     "[--repeat K]\n");
        return 2;
    }
    return runBench(options);
}
