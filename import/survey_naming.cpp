#include "import/survey_naming.h"

#include "batch/inputs/configuration.h"
#include "batch/inputs/survey_database.h"

#include <filesystem>
#include <optional>
#include <system_error>

namespace {

bool findRecord(const SurveyDatabase& db, const ScanSelection& selection, int32_t& index, std::string& error)
{
    const int32_t count = static_cast<int32_t>(db.records.size());
    if (selection.record > 0) {
        if (selection.record > count) {
            error = "the survey database holds " + std::to_string(count) + " usable record(s); there is no record "
                + std::to_string(selection.record);
            return false;
        }
        index = selection.record - 1;
        return true;
    }
    index = -1;
    for (int32_t k = 0; k < count; ++k) {
        if (db.records[static_cast<std::size_t>(k)].id1 != selection.id1) {
            continue;
        }
        if (index >= 0) {
            error = "records " + std::to_string(index + 1) + " and " + std::to_string(k + 1)
                + " of the survey database both have ID1 " + std::to_string(selection.id1)
                + "; choose one with --record";
            return false;
        }
        index = k;
    }
    if (index < 0) {
        error = "no record of the survey database has ID1 " + std::to_string(selection.id1);
        return false;
    }
    return true;
}

}  // namespace

// The batch program reads its settings from "ipcreg.txt"; the importer looks for it
// beside the database, where a survey keeps it.
void chooseZeroPad(const std::string& database, int32_t option, int32_t& zeroPad, std::string& from)
{
    if (option >= 0) {
        zeroPad = option;
        from = "--zeropad";
        return;
    }
    const std::filesystem::path settings = std::filesystem::path(database).parent_path() / "ipcreg.txt";
    std::error_code ec;
    RegSettings read;
    if (std::filesystem::is_regular_file(settings, ec) && readConfigurationFile(settings.string(), read)) {
        zeroPad = read.ZEROPAD;
        from = settings.string();
        return;
    }
    zeroPad = RegSettings().ZEROPAD;
    from = "the default (no ipcreg.txt beside the database)";
}

std::string scanFilePath(const std::string& database, int32_t zeroPad, int32_t id1, int32_t id2,
                         const std::string& name)
{
    RegSettings names;
    if (!deriveOutputNames(database, names)) {
        return {};
    }
    return composeScanFileName(names.scanDatabaseName, zeroPad, id1, id2, name);
}

namespace {

// The records of a database the batch program would read without stopping.
std::optional<SurveyDatabase> readRecords(const std::string& database, std::string& error)
{
    RegSettings names;
    if (!deriveOutputNames(database, names)) {
        error = "the survey database name must end in .csv or .txt, as the batch program requires";
        return std::nullopt;
    }
    std::optional<SurveyDatabase> db = readSurveyDatabase(database);
    if (!db) {
        error = "cannot read the survey database " + database;
        return std::nullopt;
    }
    // The batch program refuses a database with a line that is no record; a scan named
    // from it would never be read.
    if (db->problemLine > 0) {
        error = "line " + std::to_string(db->problemLine) + " of the survey database " + database
            + " is not a record of nine comma-separated fields X,Y,Z,A1,A2,A3,ID1,ID2,NAME";
        return std::nullopt;
    }
    return db;
}

ScanName nameOf(const std::string& database, const SurveyRecordText& record, int32_t index, int32_t zeroPad,
                const std::string& from)
{
    ScanName scan;
    scan.record = index + 1;
    scan.id1 = record.id1;
    scan.id2 = record.id2;
    scan.name = record.name;
    scan.zeroPad = zeroPad;
    scan.zeroPadFrom = from;
    scan.path = scanFilePath(database, zeroPad, record.id1, record.id2, record.name);
    return scan;
}

}  // namespace

bool nameScanFromDatabase(const std::string& database, const ScanSelection& selection, ScanName& scan,
                          std::string& error)
{
    const std::optional<SurveyDatabase> db = readRecords(database, error);
    int32_t index = 0;
    if (!db || !findRecord(*db, selection, index, error)) {
        return false;
    }
    int32_t zeroPad = 1;
    std::string from;
    chooseZeroPad(database, selection.zeroPad, zeroPad, from);
    scan = nameOf(database, db->records[static_cast<std::size_t>(index)], index, zeroPad, from);
    return true;
}

bool nameAllRecords(const std::string& database, int32_t zeroPadOption, std::vector<ScanName>& scans,
                    std::string& error)
{
    const std::optional<SurveyDatabase> db = readRecords(database, error);
    if (!db) {
        return false;
    }
    int32_t zeroPad = 1;
    std::string from;
    chooseZeroPad(database, zeroPadOption, zeroPad, from);
    scans.clear();
    for (std::size_t k = 0; k < db->records.size(); ++k) {
        scans.push_back(nameOf(database, db->records[k], static_cast<int32_t>(k), zeroPad, from));
    }
    return true;
}
