// The batch program: reads its configuration and the survey database, asks for the
// run mode, runs it and ends. This is the only place where the program ends.

#include "batch/console.h"
#include "batch/engine/pair_context.h"
#include "batch/engine/solver_workspace.h"
#include "batch/file_ptr.h"
#include "batch/inputs/configuration.h"
#include "batch/inputs/survey_database.h"
#include "batch/outputs/output_names.h"
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

// A fatal condition has been printed: wait for ENTER, then end with `status`.
int endAfterWait(int status)
{
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

int runProgram(int argc, char** argv)
{
    RegSettings settings;
    settings.configPath = locateConfiguration(argc >= 1 ? argv[0] : nullptr);
    settings.gpsFileName = argc == 2 ? argv[1] : "test.txt";
    if (argc < 1 && !askForDatabaseName(settings.gpsFileName))
        return endAfterWait(1);

    if (!deriveOutputNames(settings.gpsFileName, settings)) {
        std::printf("The survey database \"%s\" cannot be used: its name must end in .csv or .txt \n",
                    settings.gpsFileName.c_str());
        std::printf("Please restart the program with the survey database as its argument. \n");
        return endAfterWait(1);
    }
    readSettings(settings);
    printSummaryAndMenu(settings);
    RunState run;
    if (!readModeAnswer(run.runMode) || run.runMode == 0)
        return 1;  // quit, or no answer at all: never run a mode nobody chose
    std::printf("\n");
    convertAnglesToRadians(settings);
    const ModeWork work = modeWork(run.runMode);
    if (!checkSettingsForMode(settings, work))
        return endAfterWait(1);

    std::vector<ScanRecord> scans;
    PairContext pair;
    SolverWorkspace workspace;
    std::string file1, file2;
    if (work.comparesTwoFiles) {
        if (argc < 4) {
            std::printf("Mode 5 compares two point files given on the command line: \n");
            std::printf("   %s <survey database> <point file 1> <point file 2> \n",
                        argc >= 1 && argv[0] != nullptr ? argv[0] : "tavrinbatch");
            return endAfterWait(1);
        }
        file1 = argv[2];
        file2 = argv[3];
    } else {
        const StartupResult startup = loadScansAndConfirm(settings, run, scans);
        if (startup == StartupResult::Quit)
            return 1;
        if (startup == StartupResult::Fatal)
            return endAfterWait(1);
        run.progress.pairsInAll = static_cast<int32_t>(scans.size());
    }

    if (const auto clash = findOverwrittenInput(work.files(), settings, scans, file1, file2)) {
        std::printf("The output file %s would replace the input file %s: nothing is written. \n", clash->first.c_str(),
                    clash->second.c_str());
        std::printf("Please rename or move the survey database or the point files. \n");
        return endAfterWait(1);
    }

    FilePtr log(std::fopen(settings.logFileName.c_str(), "w"));
    if (!log) {
        std::printf("Unable to create log file %s \n", settings.logFileName.c_str());
        std::printf("Please verify that the path exists and can be written. \n");
        return endAfterWait(1);
    }
    run.logFile = log.get();

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
        return endAfterWait(1);
    if (!logWritten || !logClosed)
        std::printf("Unable to write log file %s \n", settings.logFileName.c_str());

    if (work.registers())
        std::printf("Registered %i of %i pairs: %i failed, %i not improved\n", run.tally.improved, run.tally.attempted,
                    run.tally.failed, run.tally.notImproved);
    if (work.evaluates())
        std::printf("Evaluated %i of %i pairs: %i without a valid RMS\n", run.evaluated.valid, run.evaluated.attempted,
                    run.evaluated.attempted - run.evaluated.valid);
    std::printf("100 percent complete \n");
    std::printf("Press ENTER to close the program  \n");
    readAnswerChar();
    if (status == RunStatus::Failed || !logWritten || !logClosed)
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
