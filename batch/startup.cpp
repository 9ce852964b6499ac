#include "batch/startup.h"

#include "batch/console.h"
#include "batch/inputs/configuration.h"
#include "batch/inputs/survey_database.h"
#include "batch/runs/run_state.h"

#include <cstdio>

namespace {

void printDatabaseError(const std::string& path) { std::printf("Unable to open data file at %s \n", path.c_str()); }

// A line that is no record stops the run before anything is written: the positions
// and names of every later record would be guesses.
void printDatabaseProblem(const std::string& path, const SurveyDatabase& db)
{
    if (db.problem == SurveyDatabase::FieldCount)
        std::printf("%s line %i: %i fields where 9 belong (X,Y,Z,A1,A2,A3,ID1,ID2,NAME) \n", path.c_str(),
                    db.problemLine, db.fieldCount);
    else if (db.problem == SurveyDatabase::NotANumber)
        std::printf("%s line %i: \"%s\" is not a number \n", path.c_str(), db.problemLine, db.problemText.c_str());
    else
        std::printf("%s line %i: the name \"%s\" holds a blank or a quote \n", path.c_str(), db.problemLine,
                    db.problemText.c_str());
}

void printScanList(const SurveyDatabase& db, const std::vector<ScanRecord>& scans)
{
    for (std::size_t i = 0; i < scans.size(); ++i) {
        const SurveyRecordText& r = db.records[i];
        std::printf("%lf %lf %lf %lf %lf %lf %i %i %s\n", r.X, r.Y, r.Z, r.A1, r.A2, r.A3, r.id1, r.id2,
                    r.name.c_str());
        std::printf("%i %i\n", r.id1, r.id2);
        std::printf("%s \n", scans[i].fileName.c_str());
    }
}

void printNeighbours(const std::vector<ScanRecord>& scans, const RegSettings& settings)
{
    const bool northSouth = settings.DATADIR == 0;
    for (const ScanRecord& s : scans) {
        const bool plus = s.nbrPlus >= 0;
        const bool minus = s.nbrMinus >= 0;
        const int32_t p = plus ? scans[s.nbrPlus].scanId : 0;
        const int32_t m = minus ? scans[s.nbrMinus].scanId : 0;
        if (plus && minus)
            std::printf(northSouth ? " Location:  %i N: %i S: %i \n" : " Location:  %i E: %i W: %i \n", s.scanId, p, m);
        else if (minus)
            std::printf(northSouth ? " Location:  %i N: None S: %i \n" : " Location:  %i E: None W: %i \n", s.scanId,
                        m);
        else if (plus)
            std::printf(northSouth ? " Location:  %i N: %i S: None \n" : " Location:  %i E: %i W: None \n", s.scanId,
                        p);
        else
            std::printf("No scans available to match with %i \n", s.scanId);
    }
}

}  // namespace

StartupResult loadScansAndConfirm(const RegSettings& settings, RunState& run, std::vector<ScanRecord>& scans)
{
    const std::string& path = settings.gpsFileName;
    std::optional<SurveyDatabase> db = readSurveyDatabase(path);
    if (db) {
        std::printf("%s\n", db->header.c_str());
        if (db->problemLine > 0) {
            printDatabaseProblem(path, *db);
            return StartupResult::Fatal;
        }
    } else {
        printDatabaseError(path);
    }
    const int32_t count = db ? static_cast<int32_t>(db->records.size()) : 0;
    std::printf("There are %i scans to process\n", count);

    std::printf("Loading GPS points from file %s \n", path.c_str());
    std::printf("\n");
    std::printf("Files to be processed:  \n");
    std::printf("\n");
    if (!db) {
        printDatabaseError(path);
        std::printf("Please verify the location of the file and try again. \n");
        return StartupResult::Fatal;
    }
    std::printf("%s\n", db->header.c_str());
    scans.clear();
    scans.reserve(db->records.size());
    for (const SurveyRecordText& record : db->records)
        scans.push_back(makeScanRecord(record, settings));
    printScanList(*db, scans);

    std::printf("\n");
    std::printf("Finding Scan Neighbors...... \n");
    std::printf("\n");
    if (!scans.empty()) {
        findNeighbours(scans, settings);
        printNeighbours(scans, settings);
    }

    std::printf(" Please check that all filenames are correct and that the program has correctly matched up scans "
                "correctly \n");
    std::printf(" and press Enter to continue.  \n");
    std::printf(" \n");
    if (readAnswerChar() == 'x')
        return StartupResult::Quit;

    const int64_t iterationsInAll = static_cast<int64_t>(settings.MAXITER) * count;
    run.progress.progressStep = 100.0 / static_cast<double>(iterationsInAll);
    return StartupResult::Proceed;
}
