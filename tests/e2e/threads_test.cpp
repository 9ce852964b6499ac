// THREADS changes how fast a run goes, never what it writes: Run ALL and the export on
// the example survey give the same files and the same console on 1, 2 and 4 threads.

#include "tests/e2e/e2e_fixture.h"

#ifdef HAVE_SURVEY_GENERATOR

#include "tools/survey_generator.h"

#include <sys/stat.h>

#include <filesystem>
#include <map>

namespace {

using Threads = BatchTest;

// The console with the elapsed seconds of its time messages left out.
std::string withoutSeconds(std::string out)
{
    for (std::size_t at = out.find(" seconds \n"); at != std::string::npos; at = out.find(" seconds \n", at + 9)) {
        std::size_t digits = at;
        while (digits > 0 && out[digits - 1] >= '0' && out[digits - 1] <= '9')
            --digits;
        out.replace(digits, at - digits, "#");
        at = digits;
    }
    return out;
}

// Every file a run wrote into `folder` (the links to the survey's files left out), by name.
std::map<std::string, std::string> writtenFiles(const std::string& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (!entry.is_symlink() && entry.path().filename() != "ipcreg.txt")
            files[entry.path().filename().string()] = readFile(entry.path().string());
    return files;
}

TEST_F(Threads, RunAllAndExportWriteTheSameBytesOnAnyNumberOfThreads)
{
    // Scans large enough that every step splits: walks, sorts, the reference index, text.
    ExampleSurveyOptions options;
    options.outDir = path("survey");
    options.scans = 3;
    options.points = 150000;
    options.seed = 5;
    options.regsol = 3;
    options.quiet = true;
    ASSERT_TRUE(generateExampleSurvey(options));
    const std::string settings = read("survey/ipcreg.txt");

    struct Outcome {
        std::string console;
        std::map<std::string, std::string> files;
    };
    std::map<int, Outcome> outcomes;
    for (int threads : {1, 2, 4}) {
        const std::string folder = "threads" + std::to_string(threads);
        ASSERT_EQ(mkdir(path(folder).c_str(), 0755), 0);
        for (const auto& entry : std::filesystem::directory_iterator(path("survey")))
            if (entry.path().filename() != "ipcreg.txt")
                std::filesystem::create_symlink(entry.path(), path(folder + "/" + entry.path().filename().string()));
        write(folder + "/ipcreg.txt", settings + "THREADS " + std::to_string(threads) + "\n");
        Outcome& o = outcomes[threads];
        for (const char* mode : {"4\n\n\n", "9\n\n\n"}) {
            const BatchRun run = runBatch(build_, path(folder), {"survey.csv"}, mode);
            ASSERT_EQ(run.exitStatus, 0) << run.out;
            o.console += withoutSeconds(run.out) + run.err;
        }
        o.files = writtenFiles(path(folder));
    }
    const Outcome& one = outcomes.at(1);
    ASSERT_EQ(one.files.count("survey_001_001_S1._rot.txt"), 1u);
    ASSERT_EQ(one.files.count("surveyrms.csv"), 1u);
    ASSERT_EQ(one.files.count("survey_001_001_S1._adj.txt"), 1u);
    for (int threads : {2, 4}) {
        SCOPED_TRACE("THREADS " + std::to_string(threads));
        const Outcome& other = outcomes.at(threads);
        EXPECT_EQ(other.console, one.console);
        ASSERT_EQ(other.files.size(), one.files.size());
        for (const auto& [name, bytes] : one.files) {
            ASSERT_EQ(other.files.count(name), 1u) << name;
            EXPECT_TRUE(other.files.at(name) == bytes) << name << " differs";
        }
    }
}

}  // namespace

#endif
