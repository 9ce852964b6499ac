#include "bench/bench_survey.h"

#include "tools/survey_generator.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

namespace {

// Keeps the survey's own keys and puts every solution-method key back to its default.
void useSolverDefaults(RegSettings& s)
{
    const RegSettings d;
    s.MINDISTINITIAL = d.MINDISTINITIAL;
    s.MINDISTFINAL = d.MINDISTFINAL;
    s.MAXDISTINITIAL = d.MAXDISTINITIAL;
    s.MAXDISTFINAL = d.MAXDISTFINAL;
    s.REGMODE = d.REGMODE;
    s.REGSOL = d.REGSOL;
    s.MAXREPEAT = d.MAXREPEAT;
    s.MAXITER = d.MAXITER;
    s.ALPHATHRESH = d.ALPHATHRESH;
    s.RMSTHRESH = d.RMSTHRESH;
    s.ALPHA = d.ALPHA;
    s.ALPHAINC = d.ALPHAINC;
}

}  // namespace

bool ensureBenchSurvey(const std::string& dir, int32_t points)
{
    // Written last: a survey cut short by an interruption is generated again.
    const std::string marker = dir + "/complete";
    std::error_code error;
    if (std::filesystem::exists(marker, error))
        return true;
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        ExampleSurveyOptions options;
        options.outDir = dir;
        options.scans = 4;
        options.points = points;
        options.seed = 1;
        options.cubeSize = 1;
        options.quiet = true;
        const bool written = generateExampleSurvey(options).has_value();
        std::fflush(stdout);
        _exit(written ? 0 : 1);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return false;
    std::FILE* done = std::fopen(marker.c_str(), "w");
    if (!done)
        return false;
    std::fclose(done);
    return true;
}

std::optional<BenchSurvey> loadBenchSurvey(const std::string& dir)
{
    BenchSurvey b;
    const std::string database = dir + "/survey.csv";
    if (!readConfigurationFile(dir + "/ipcreg.txt", b.settings) || !deriveOutputNames(database, b.settings))
        return std::nullopt;
    useSolverDefaults(b.settings);
    b.settings.dCX = b.settings.dCY = b.settings.dCZ = 1.0;
    b.settings.NUMPPC = 10;
    convertAnglesToRadians(b.settings);
    const std::optional<SurveyDatabase> db = readSurveyDatabase(database);
    if (!db)
        return std::nullopt;
    for (const SurveyRecordText& record : db->records)
        b.scans.push_back(makeScanRecord(record, b.settings));
    findNeighbours(b.scans, b.settings);
    // The second set-up and its south neighbour, as in the recovery tests.
    b.scan1 = 1;
    b.scan2 = b.scans.size() > 1 ? b.scans[1].nbrMinus : -1;
    if (b.scan2 < 0)
        return std::nullopt;
    return b;
}

void nameBenchPair(const BenchSurvey& survey, PairContext& pair)
{
    const ScanRecord& scan1 = survey.scans[static_cast<std::size_t>(survey.scan1)];
    const ScanRecord& scan2 = survey.scans[static_cast<std::size_t>(survey.scan2)];
    pair.scan1Index = survey.scan1;
    pair.scan2Index = survey.scan2;
    pair.scan1Path = scan1.fileName;
    pair.scan2Path = scan2.fileName;
}
