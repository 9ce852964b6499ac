// text_bench: the speed of the rotated copies' text, on one core: the rotation writing
// them (read the binary scan, turn, format, write) and the text reader reading them
// back as the evaluation of Run ALL does, in MB of text per second of processor time;
// then the number conversions alone in memory, against printf and strtod in the same run.
// Usage: text_bench --points N [--work DIR]
// The survey (4 scans) is generated once into DIR/engine_N, shared with engine_bench.
// The program's own console lines go to DIR/engine_N/text_bench.log.
// Exit status: 0 done, 1 failure, 2 bad command line.

#include "batch/inputs/configuration.h"
#include "batch/inputs/point_files.h"
#include "batch/inputs/survey_database.h"
#include "batch/outputs/number_text.h"
#include "batch/outputs/output_names.h"
#include "batch/runs/run_state.h"
#include "batch/runs/scan_rotation.h"
#include "bench/bench_survey.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::FILE* table = stdout;

double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The least processor time of three runs: other jobs on the machine only ever add to it.
template <class F>
double cpuSecondsOf(F&& f)
{
    double least = 1e300;
    for (int k = 0; k < 3; ++k) {
        const double start = cpuSeconds();
        f();
        least = std::min(least, cpuSeconds() - start);
    }
    return least;
}

void rateLine(const char* what, double bytes, double seconds)
{
    std::fprintf(table, "%-52s %8.1f MB in %6.3f s cpu: %7.1f MB/s\n", what, bytes / 1e6, seconds,
                 bytes / 1e6 / seconds);
    std::fflush(table);
}

// A registration table that turns every scan by a few tenths of a degree.
bool writeRegistrationTable(const std::string& path, const std::vector<ScanRecord>& scans)
{
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (!f)
        return false;
    std::fprintf(f, "scan1,rotation2,scan2,rotation2,rms,numpts,num_iters \n");
    for (std::size_t i = 1; i < scans.size(); ++i)
        std::fprintf(f, "%i,0.300000,%i,-0.200000,0.010000,1000,3\n", scans[i].scanId, scans[i - 1].scanId);
    return std::fclose(f) == 0;
}

// The rotation and the reader on the files, as Run ALL runs them.
bool filesTable(BenchSurvey& b, const std::string& dir)
{
    RegSettings& s = b.settings;
    s.regFileName = dir + "/text_bench_reg.csv";
    s.rotFileName = dir + "/text_bench_rot.csv";
    if (!writeRegistrationTable(s.regFileName, b.scans))
        return false;
    RunState run;
    RunStatus status = RunStatus::Ok;
    const double write = cpuSecondsOf([&] { status = rotateScans(s, run, b.scans, false); });
    if (status != RunStatus::Ok)
        return false;
    double bytes = 0.0;
    for (const ScanRecord& scan : b.scans) {
        std::error_code error;
        bytes += static_cast<double>(std::filesystem::file_size(rotatedFileName(scan.fileName), error));
    }
    rateLine("rotation: binary scans to rotated copies", bytes, write);

    std::vector<CubePoint> points;
    double cliff = 0.0;
    const double read = cpuSecondsOf([&] {
        for (const ScanRecord& scan : b.scans) {
            TextPointOptions options;
            options.scannerX = scan.x;
            options.scannerY = scan.y;
            options.scannerZ = scan.z;
            options.zLow = s.ZMIN;
            readTextPoints(rotatedFileName(scan.fileName), s, options, points, cliff);
        }
    });
    rateLine("reader: rotated copies to points (two passes)", bytes, read);
    return true;
}

// The point lines of one scan in memory, formatted and parsed by the program's own
// conversions and by printf and strtod.
void conversionTable(const BenchSurvey& b)
{
    std::vector<CubePoint> points;
    readBinaryPoints(b.scans[0].fileName, points);
    std::string text;
    text.reserve(points.size() * 48);
    const double own = cpuSecondsOf([&] {
        text.clear();
        char line[4 * FIXED6_MAX_CHARS];
        for (const CubePoint& p : points) {
            char* e = line;
            for (double v : {p.x, p.y, p.z}) {
                e = writeFixed6(e, v);
                *e++ = ' ';
            }
            for (int k = 0; k < 4; ++k) {
                e = writeInteger(e, 0);
                *e++ = ' ';
            }
            *e++ = '\n';
            text.append(line, e);
        }
    });
    const double bytes = static_cast<double>(text.size());
    rateLine("format, own conversions", bytes, own);
    std::string printed;
    printed.reserve(text.size());
    const double libc = cpuSecondsOf([&] {
        printed.clear();
        char line[4 * FIXED6_MAX_CHARS];
        for (const CubePoint& p : points) {
            const int n = std::snprintf(line, sizeof line, "%lf %lf %lf %i %i %i %i \n", p.x, p.y, p.z, 0, 0, 0, 0);
            printed.append(line, static_cast<std::size_t>(n));
        }
    });
    rateLine("format, snprintf", bytes, libc);
    std::fprintf(table, "%-52s %s\n", "  same bytes", printed == text ? "yes" : "NO");

    double sum = 0.0, sumLibc = 0.0;
    const double parse = cpuSecondsOf([&] {
        sum = 0.0;
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t end = text.find('\n', at);
            text[end] = '\0';
            double x = 0, y = 0, z = 0;
            if (parseTextPoint(text.c_str() + at, x, y, z))
                sum += x + y + z;
            text[end] = '\n';
            at = end + 1;
        }
    });
    rateLine("parse, own conversions", bytes, parse);
    const double parseLibc = cpuSecondsOf([&] {
        sumLibc = 0.0;
        const char* p = text.c_str();
        char* e = nullptr;
        for (std::size_t k = 0; k < points.size(); ++k) {
            const double x = std::strtod(p, &e), y = std::strtod(e + 1, &e), z = std::strtod(e + 1, &e);
            sumLibc += x + y + z;
            p = std::strchr(e, '\n') + 1;
        }
    });
    rateLine("parse, strtod", bytes, parseLibc);
    std::fprintf(table, "%-52s %s\n", "  same numbers", sum == sumLibc ? "yes" : "NO");
}

bool parseCount(const char* text, int32_t& value)
{
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < 1000 || v > 20000000)
        return false;
    value = static_cast<int32_t>(v);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    int32_t points = 0;
    std::string work = "out/bench";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        if (key == "--work")
            work = argv[i + 1];
        else if (key != "--points" || !parseCount(argv[i + 1], points))
            points = 0;
    }
    if (points == 0 || argc % 2 == 0) {
        std::fprintf(stderr, "Usage: text_bench --points N [--work DIR]\n");
        return 2;
    }
    const std::string dir = work + "/engine_" + std::to_string(points);
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    // The program's console lines go to the log; the table keeps the real standard output.
    table = fdopen(dup(fileno(stdout)), "w");
    if (!table || !std::freopen((dir + "/text_bench.log").c_str(), "w", stdout)) {
        std::fprintf(stderr, "Cannot create %s/text_bench.log\n", dir.c_str());
        return 1;
    }
    dup2(fileno(stdout), fileno(stderr));
    std::optional<BenchSurvey> b;
    if (!ensureBenchSurvey(dir, points) || !(b = loadBenchSurvey(dir))) {
        std::fprintf(table, "Cannot generate or load the survey in %s (see its text_bench.log)\n", dir.c_str());
        return 1;
    }
    std::fprintf(table, "text_bench --points %i: %i scans of %s, one core\n", points,
                 static_cast<int32_t>(b->scans.size()), dir.c_str());
    if (!filesTable(*b, dir)) {
        std::fprintf(table, "The rotation failed (see text_bench.log)\n");
        return 1;
    }
    conversionTable(*b);
    return 0;
}
