// The batch program: reads its configuration and the survey database, asks for the
// run mode, runs it and ends. This is the only place where the program ends.

#include "batch/console.h"
#include "batch/engine/pair_context.h"
#include "batch/engine/solver_workspace.h"
#include "batch/file_ptr.h"
#include "batch/parallel_for.h"
#include "batch/inputs/configuration.h"
#include "batch/inputs/survey_database.h"
#include "batch/outputs/output_names.h"
#include "batch/replacement_file.h"
#include "batch/run_lock.h"
#include "batch/run_modes.h"
#include "batch/runs/mode_work.h"
#include "batch/runs/plan_of_run.h"
#include "batch/runs/run_state.h"
#include "batch/setting_checks.h"
#include "batch/startup.h"
#include "batch/summary.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

namespace {

// A fatal condition has been printed: the lock goes, then the program waits for ENTER
// and ends with `status`.
int endAfterWait(int status, RunLock& lock)
{
    lock.release();
    readAnswerChar();
    return status;
}

// The configuration file lies beside the program when the program's path names a
// folder whose last separator stands beyond index 3; otherwise (a bare name, or a
// drive root such as C:\x.exe) it is "ipcreg.txt" in the working directory.
std::string locateConfiguration(const char* argument0)
{
    const std::string program = argument0 != nullptr ? argument0 : "";
    const std::size_t separator = program.find_last_of("\\/");
    if (separator != std::string::npos && separator > 3)
        return program.substr(0, separator + 1) + "ipcreg.txt";
    return "ipcreg.txt";
}

// The settings come from the program's own place for them when that file exists, else
// from beside the survey database, else from the working folder.
void readSettings(RegSettings& settings)
{
    const std::string first = settings.configPath;
    const std::vector<std::string> places = configurationPlaces(first, settings.gpsFileName);
    for (const std::string& place : places) {
        std::error_code error;
        if (std::filesystem::exists(place, error)) {
            settings.configPath = place;
            break;
        }
    }
    if (readConfigurationFile(settings.configPath, settings)) {
        std::printf("Settings read from %s\n", settings.configPath.c_str());
        return;
    }
    std::string tried;
    for (const std::string& place : places)
        tried += (tried.empty() ? "" : ", ") + place;
    std::printf("Could not open master input file %s\n", first.c_str());
    std::printf("Looked for it at %s \n", tried.c_str());
    std::printf("USING DEFAULT VALUES!!!!\n");
}

// Only a start with no argument 0 at all asks for the database by name.
bool askForDatabaseName(std::string& path)
{
    std::printf("TYPE NAME OF FILE HERE\n");
    std::printf("OR RESTART PROGRAM BY DRAGGING AND DROPPING SURVEY DATABASE INTO EXE!!!\n");
    char word[256];
    readWord(word);
    if (std::strlen(word) < 5) {
        std::printf("INVALID FILE. Please restart program!\n");
        return false;
    }
    path = word;
    return true;
}

// Every output the mode writes can be created: a table whose place a folder takes, or a
// folder that takes no new file, is found before the work starts, not after it. Says so
// on the console and in the log.
bool outputsCanBeWritten(const RunFiles& files, const RegSettings& settings, const std::vector<ScanRecord>& scans,
                         std::FILE* log)
{
    for (const std::string& output : runOutputs(files, settings, scans)) {
        if (output.empty() || output == settings.logFileName || ReplacementFile::canWrite(output))
            continue;
        std::printf("Unable to create output file %s \n", output.c_str());
        std::error_code error;
        if (std::filesystem::is_directory(output, error))
            std::printf("A folder stands in its place: move or rename it, then start the run again. \n");
        else
            std::printf("Please verify that the folder exists and can be written, then start the run again. \n");
        std::fprintf(log, "Unable to create output file %s \n", output.c_str());
        return false;
    }
    return true;
}

int runProgram(int argc, char** argv)
{
    RunLock lock;  // released at every end, also when memory runs out
    RegSettings settings;
    settings.configPath = locateConfiguration(argc >= 1 ? argv[0] : nullptr);
    settings.gpsFileName = argc == 2 ? argv[1] : "test.txt";
    if (argc < 1 && !askForDatabaseName(settings.gpsFileName))
        return endAfterWait(1, lock);

    if (!deriveOutputNames(settings.gpsFileName, settings)) {
        std::printf("The survey database \"%s\" cannot be used: its name must end in .csv or .txt \n",
                    settings.gpsFileName.c_str());
        std::printf("Please restart the program with the survey database as its argument. \n");
        return endAfterWait(1, lock);
    }
    readSettings(settings);
    settings.threads = threadsFor(settings.THREADS);
    printSummaryAndMenu(settings);
    RunState run;
    if (!readModeAnswer(run.runMode) || run.runMode == 0)
        return 1;  // quit, or no answer at all: never run a mode nobody chose
    std::printf("\n");
    // Before anything is written: a second run on the same survey would write over the
    // first one's outputs and mix its log lines into them.
    if (lock.take(settings.lockFileName) == RunLock::Outcome::HeldByOther) {
        std::printf("Another run is using %s (process %i): wait for it to end, or remove %s if it is no longer "
                    "running.\n",
                    settings.gpsFileName.c_str(), lock.holder(), settings.lockFileName.c_str());
        return endAfterWait(1, lock);
    }
    convertAnglesToRadians(settings);
    const ModeWork work = modeWork(run.runMode);
    if (!checkSettingsForMode(settings, work))
        return endAfterWait(1, lock);

    std::vector<ScanRecord> scans;
    PairContext pair;
    SolverWorkspace workspace;
    std::string file1, file2;
    if (work.comparesTwoFiles) {
        if (argc < 4) {
            std::printf("Mode 5 compares two point files given on the command line: \n");
            std::printf("   %s <survey database> <point file 1> <point file 2> \n",
                        argc >= 1 && argv[0] != nullptr ? argv[0] : "tavrinbatch");
            return endAfterWait(1, lock);
        }
        file1 = argv[2];
        file2 = argv[3];
    } else {
        const StartupResult startup = loadScansAndConfirm(settings, run, scans);
        if (startup == StartupResult::Quit)
            return 1;
        if (startup == StartupResult::Fatal)
            return endAfterWait(1, lock);
        run.progress.pairsInAll = static_cast<int32_t>(scans.size());
    }

    if (const auto clash = findOverwrittenInput(work.files(), settings, scans, file1, file2)) {
        std::printf("The output file %s would replace the input file %s: nothing is written. \n", clash->first.c_str(),
                    clash->second.c_str());
        std::printf("Please rename or move the survey database or the point files. \n");
        return endAfterWait(1, lock);
    }

    FilePtr log(std::fopen(settings.logFileName.c_str(), "w"));
    if (!log) {
        std::printf("Unable to create log file %s \n", settings.logFileName.c_str());
        std::printf("Please verify that the path exists and can be written. \n");
        return endAfterWait(1, lock);
    }
    run.logFile = log.get();
    if (!outputsCanBeWritten(work.files(), settings, scans, run.logFile))
        return endAfterWait(1, lock);

    RunStatus status = runSelectedMode(settings, run, scans, pair, workspace, file1, file2);
    if (status != RunStatus::Fatal && work.drawsPlan()) {
        if (writeRunPlan(settings.planFileName, scans, planOfRun(settings, run, scans.size()), run.logFile))
            std::printf("Plan of the run written to %s\n", settings.planFileName.c_str());
        else
            status = worse(status, RunStatus::Failed);
    }
    run.logFile = nullptr;
    const bool logWritten = std::ferror(log.get()) == 0;
    const bool logClosed = std::fclose(log.release()) == 0;
    if (status == RunStatus::Fatal)
        return endAfterWait(1, lock);
    if (!logWritten || !logClosed)
        std::printf("Unable to write log file %s \n", settings.logFileName.c_str());

    lock.release();  // nothing more is written

    if (work.registers())
        std::printf("Registered %i of %i pairs: %i failed, %i not improved\n", run.tally.improved, run.tally.attempted,
                    run.tally.failed, run.tally.notImproved);
    if (work.evaluates())
        std::printf("Evaluated %i of %i pairs: %i without a valid RMS\n", run.evaluated.valid, run.evaluated.attempted,
                    run.evaluated.attempted - run.evaluated.valid);
    const bool writeFailed = status == RunStatus::Failed || !logWritten || !logClosed;
    if (writeFailed)
        std::printf("The run ended, but not every output could be written: see the messages above. \n");
    else
        std::printf("100 percent complete \n");
    std::printf("Press ENTER to close the program  \n");
    readAnswerChar();
    if (writeFailed)
        return 1;
    // Finished, but some pair has no valid RMS or some scan could not be read.
    return status == RunStatus::Incomplete ? 2 : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        return runProgram(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fflush(stdout);
        std::fprintf(stderr, "Not enough memory for this survey: the program stops here. \n");
        return 1;
    }
}
