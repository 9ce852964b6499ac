#include "import/survey_naming.h"

#include "batch/inputs/configuration.h"
#include "batch/inputs/survey_database.h"

#include <filesystem>
#include <optional>
#include <system_error>

namespace {

// The batch program reads its settings from "ipcreg.txt"; the importer looks for it
// beside the database, where a survey keeps it.
void chooseZeroPad(const std::string& database, const ScanSelection& selection, ScanName& scan)
{
    if (selection.zeroPad >= 0) {
        scan.zeroPad = selection.zeroPad;
        scan.zeroPadFrom = "--zeropad";
        return;
    }
    const std::filesystem::path settings = std::filesystem::path(database).parent_path() / "ipcreg.txt";
    std::error_code ec;
    RegSettings read;
    if (std::filesystem::is_regular_file(settings, ec) && readConfigurationFile(settings.string(), read)) {
        scan.zeroPad = read.ZEROPAD;
        scan.zeroPadFrom = settings.string();
        return;
    }
    scan.zeroPad = RegSettings().ZEROPAD;
    scan.zeroPadFrom = "the default (no ipcreg.txt beside the database)";
}

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

bool nameScanFromDatabase(const std::string& database, const ScanSelection& selection, ScanName& scan,
                          std::string& error)
{
    RegSettings names;
    if (!deriveOutputNames(database, names)) {
        error = "the survey database name must end in .csv or .txt, as the batch program requires";
        return false;
    }
    const std::optional<SurveyDatabase> db = readSurveyDatabase(database);
    if (!db) {
        error = "cannot read the survey database " + database;
        return false;
    }
    // The batch program refuses a database with a line that is no record; a scan named
    // from it would never be read.
    if (db->problemLine > 0) {
        error = "line " + std::to_string(db->problemLine) + " of the survey database " + database
            + " is not a record of nine comma-separated fields X,Y,Z,A1,A2,A3,ID1,ID2,NAME";
        return false;
    }
    int32_t index = 0;
    if (!findRecord(*db, selection, index, error))
        return false;
    const SurveyRecordText& record = db->records[static_cast<std::size_t>(index)];
    chooseZeroPad(database, selection, scan);
    scan.record = index + 1;
    scan.id1 = record.id1;
    scan.id2 = record.id2;
    scan.name = record.name;
    scan.path = composeScanFileName(names.scanDatabaseName, scan.zeroPad, record.id1, record.id2, record.name);
    return true;
}
