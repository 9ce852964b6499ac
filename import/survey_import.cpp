#include "import/survey_import.h"

#include "import/bxyz_writer.h"
#include "import/e57_reader.h"
#include "import/format_sniffing.h"
#include "import/import_run.h"
#include "import/pose_file.h"
#include "import/pose_records.h"
#include "import/ptx_reader.h"
#include "batch/replacement_file.h"
#include "import/writing_sink.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <set>
#include <system_error>

namespace {

// A scan of the file as the database needs it: its name and where its scanner stands.
struct SourceScan {
    std::string name;  ///< as the file names it; empty when it has none
    double rotation[3][3] = {{1.0, 0.0, 0.0}, {0.0, 1.0, 0.0}, {0.0, 0.0, 1.0}};  ///< scanner to file frame
    double translation[3] = {0.0, 0.0, 0.0};  ///< metres, scanner origin in the file's frame
    std::string problem;                      ///< why it cannot be placed; empty when it can
};

struct SurveyFile {
    PointFormat format = PointFormat::Unknown;
    E57Contents e57;
    std::vector<SourceScan> scans;
};

// Files waiting to be put in place once every scan converted.
struct PendingFiles {
    std::unique_ptr<BxyzWriter> points;
    std::unique_ptr<ReplacementFile> pose;
};

bool listE57(FileSource& source, SurveyFile& file, std::string& error)
{
    if (!openE57(source, file.e57, error)) {
        return false;
    }
    for (const E57Scan& s : file.e57.scans) {
        SourceScan scan;
        scan.name = s.name;
        std::copy(&s.rotation[0][0], &s.rotation[0][0] + 9, &scan.rotation[0][0]);
        std::copy(s.translation, s.translation + 3, scan.translation);
        scan.problem = s.problem;
        file.scans.push_back(scan);
    }
    return true;
}

bool listPtx(FileSource& source, SurveyFile& file, std::string& error)
{
    std::vector<PtxPose> poses;
    if (!readPtxPoses(source, poses, error)) {
        return false;
    }
    for (const PtxPose& pose : poses) {
        SourceScan scan;
        if (!ptxAffine(pose, scan.rotation, scan.translation)) {
            scan.problem = "its transform is not an affine placement";
        }
        file.scans.push_back(scan);
    }
    return true;
}

bool listScans(FileSource& source, const std::string& input, SurveyFile& file, std::string& error)
{
    const SniffResult sniffed = sniffFormat(source, input);
    file.format = sniffed.format;
    if (!sniffed.refusal.empty()) {
        error = input + ": " + sniffed.refusal;
        return false;
    }
    if (sniffed.format != PointFormat::E57 && sniffed.format != PointFormat::Ptx) {
        error = input + " is a " + pointFormatName(sniffed.format)
            + " file, which holds one scan: --all-scans reads the scans of an E57 or PTX file; convert this one "
              "with --record or --scan-id";
        return false;
    }
    std::string why;
    const bool listed = sniffed.format == PointFormat::E57 ? listE57(source, file, why) : listPtx(source, file, why);
    if (!listed) {
        error = input + ": " + why;
    }
    return listed;
}

bool databaseExists(const std::string& database)
{
    std::error_code ec;
    return std::filesystem::exists(database, ec);
}

// The names --write-database gives the scans: made safe, then unique.
std::vector<std::string> databaseNames(const SurveyFile& file)
{
    std::vector<std::string> names;
    for (std::size_t k = 0; k < file.scans.size(); ++k) {
        names.push_back(safeScanName(file.scans[k].name, static_cast<int32_t>(k + 1)));
    }
    makeNamesUnique(names);
    return names;
}

// Records 1..n from the poses, ID1 = n, ID2 = 1, NAME from the scan's name.
bool planNewDatabase(const SurveyImportRequest& request, const SurveyFile& file, SurveyImportReport& report,
                     std::vector<PoseRecord>& records)
{
    if (databaseExists(request.database)) {
        report.error = "the survey database " + request.database
            + " already exists; --write-database never replaces one: remove it, or leave out --write-database "
              "to convert the scans into the records it holds";
        return false;
    }
    if (scanFilePath(request.database, 1, 1, 1, "x").empty()) {
        report.error = "the survey database name must end in .csv or .txt, as the batch program requires";
        return false;
    }
    for (std::size_t k = 0; k < file.scans.size(); ++k) {
        if (!file.scans[k].problem.empty()) {
            report.error = request.input + ": " + e57ScanLabel(file.e57, static_cast<int32_t>(k + 1))
                + " cannot be placed in the database: " + file.scans[k].problem;
            return false;
        }
    }
    const std::vector<std::string> names = databaseNames(file);
    int32_t zeroPad = 1;
    std::string from;
    chooseZeroPad(request.database, request.zeroPad, zeroPad, from);
    for (std::size_t k = 0; k < file.scans.size(); ++k) {
        PoseRecord record = recordOfPose(file.scans[k].rotation, file.scans[k].translation);
        record.id1 = static_cast<int32_t>(k + 1);
        record.id2 = 1;
        record.name = names[k];
        records.push_back(record);
        ConvertedScan c;
        c.scan = record.id1;
        c.fileName = file.scans[k].name;
        c.target = ScanName{scanFilePath(request.database, zeroPad, record.id1, record.id2, record.name),
                            record.id1,
                            record.id1,
                            record.id2,
                            record.name,
                            zeroPad,
                            from};
        report.scans.push_back(c);
    }
    adviseTranslation(records, report.transX, report.transY);
    return true;
}

// The scan a record's NAME names: the one --write-database would give that NAME, else
// the one whose name in the file is that NAME; -1 with `error` set for none or several.
int32_t scanNamed(const SurveyFile& file, const std::vector<std::string>& names, const ScanName& record,
                  std::string& error)
{
    const auto given = std::find(names.begin(), names.end(), record.name);
    if (given != names.end()) {
        return static_cast<int32_t>(given - names.begin()) + 1;
    }
    int32_t found = 0;
    for (std::size_t k = 0; k < file.scans.size(); ++k) {
        if (file.scans[k].name != record.name) {
            continue;
        }
        if (found > 0) {
            error = "scans " + std::to_string(found) + " and " + std::to_string(k + 1) + " of the file are both named "
                + record.name + "; --match-names needs one";
            return -1;
        }
        found = static_cast<int32_t>(k + 1);
    }
    if (found == 0) {
        error = "no scan of the file is named " + record.name + " (record " + std::to_string(record.record)
            + " of the database)";
        return -1;
    }
    return found;
}

// The scan of the file that each record of the database takes: scan K for record K, or
// with --match-names the scan its NAME names; no scan goes to two records.
bool assignScans(const SurveyImportRequest& request, const SurveyFile& file, const std::vector<ScanName>& records,
                 SurveyImportReport& report)
{
    const std::vector<std::string> names = databaseNames(file);
    std::vector<int32_t> takenBy(file.scans.size() + 1, 0);
    for (const ScanName& record : records) {
        ConvertedScan c;
        c.scan = request.matchNames ? scanNamed(file, names, record, report.error) : record.record;
        if (c.scan < 0) {
            return false;
        }
        int32_t& owner = takenBy[static_cast<std::size_t>(c.scan)];
        if (owner > 0) {
            report.error = "records " + std::to_string(owner) + " and " + std::to_string(record.record)
                + " of the database both name scan " + std::to_string(c.scan) + " of the file";
            return false;
        }
        owner = record.record;
        c.fileName = file.scans[static_cast<std::size_t>(c.scan - 1)].name;
        c.target = record;
        report.scans.push_back(c);
    }
    for (std::size_t k = 1; k < takenBy.size(); ++k) {
        if (takenBy[k] == 0) {
            report.unmatched.push_back(static_cast<int32_t>(k));
        }
    }
    return true;
}

bool planExistingDatabase(const SurveyImportRequest& request, const SurveyFile& file, SurveyImportReport& report)
{
    if (!databaseExists(request.database)) {
        report.error = "the survey database " + request.database
            + " does not exist; --write-database writes it from the scans' poses";
        return false;
    }
    std::vector<ScanName> records;
    if (!nameAllRecords(request.database, request.zeroPad, records, report.error)) {
        return false;
    }
    if (records.empty()) {
        report.error = "the survey database " + request.database + " holds no records, so no scan has one to go to";
        return false;
    }
    if (!request.matchNames && records.size() != file.scans.size()) {
        report.error = "the survey database holds " + std::to_string(records.size()) + " record(s) and the file "
            + std::to_string(file.scans.size())
            + " scan(s); scan K goes to record K, so the counts must agree (or give --match-names)";
        return false;
    }
    return assignScans(request, file, records, report);
}

bool checkTargets(const SurveyImportRequest& request, SurveyImportReport& report)
{
    std::set<std::string> seen;
    for (const ConvertedScan& c : report.scans) {
        for (const std::string& target : {c.target.path, poseFileName(c.target.path)}) {
            if (!seen.insert(target).second) {
                report.error = "two records of the database name the same point file " + c.target.path;
                return false;
            }
            if (!checkOutputTarget(request.input, target, report.error)) {
                return false;
            }
        }
    }
    return true;
}

bool convertScan(FileSource& source, const SurveyImportRequest& request, const SurveyFile& file, ConvertedScan& c,
                 PendingFiles& pending, std::string& error)
{
    pending.points = std::make_unique<BxyzWriter>();
    if (!pending.points->open(c.target.path, error)) {
        return false;
    }
    PtxScanInfo ptx;
    {
        WritingSink sink(*pending.points, c.stats, source.size(), request.showProgress);
        c.outcome = file.format == PointFormat::E57 ? readE57Scan(source, file.e57, c.scan, request.applyPose, sink)
                                                    : readPtx(source, PtxChoice{c.scan, request.applyPose}, sink, ptx);
    }
    const std::string label = "scan " + std::to_string(c.scan) + " of " + request.input;
    if (!c.outcome.ok) {
        error = c.outcome.sinkStopped
            ? "writing the temporary output beside " + c.target.path + " failed (disk full or no longer writable?)"
            : source.failed() ? "a read error stopped reading " + request.input
                              : request.input + ": " + c.outcome.error;
        return false;
    }
    if (c.outcome.kept == 0) {
        error = label + ": no point is left to write (" + std::to_string(c.outcome.records)
            + " records read, all dropped); nothing was written";
        return false;
    }
    if (!pending.points->finishPoints()) {
        error = "writing the temporary output beside " + c.target.path + " failed (disk full or no longer writable?)";
        return false;
    }
    c.poseFile = poseFileName(c.target.path);
    pending.pose = std::make_unique<ReplacementFile>();
    if (!pending.pose->open(c.poseFile, error)) {
        return false;
    }
    if (file.format == PointFormat::E57) {
        putE57Pose(pending.pose->file(), request.input, c.scan, file.e57, request.applyPose);
    } else {
        putPtxPose(pending.pose->file(), request.input, c.scan, ptx, request.applyPose);
    }
    return true;
}

// Point files first, then their pose files, the database last: a database is never
// there without the point files it names.
bool commitAll(const SurveyImportRequest& request, std::vector<PendingFiles>& pending, ReplacementFile* database,
               std::string& error)
{
    for (PendingFiles& p : pending) {
        if (!p.points->commit(error)) {
            return false;
        }
    }
    for (PendingFiles& p : pending) {
        if (!p.pose->commit(error)) {
            return false;
        }
    }
    if (database == nullptr) {
        return true;
    }
    if (databaseExists(request.database)) {
        error = "the survey database " + request.database
            + " appeared while the scans were converted; it is left as "
              "it is, and the database written from the poses is not put in its place";
        return false;
    }
    return database->commit(error);
}

}  // namespace

bool runSurveyImport(const SurveyImportRequest& request, SurveyImportReport& report)
{
    FileSource source;
    std::string why;
    if (!source.open(request.input, why)) {
        report.error = "cannot read " + request.input + ": " + why;
        return false;
    }
    SurveyFile file;
    if (!listScans(source, request.input, file, report.error)) {
        return false;
    }
    report.format = file.format;
    report.scansInFile = static_cast<int32_t>(file.scans.size());
    std::vector<PoseRecord> records;
    const bool planned = request.writeDatabase ? planNewDatabase(request, file, report, records)
                                               : planExistingDatabase(request, file, report);
    if (!planned || !checkTargets(request, report)) {
        return false;
    }
    ReplacementFile database;
    if (request.writeDatabase) {
        if (!database.open(request.database, report.error)) {
            return false;
        }
        putPoseRecords(database.file(), records);
    }
    std::vector<PendingFiles> pending(report.scans.size());
    for (std::size_t k = 0; k < report.scans.size(); ++k) {
        if (!convertScan(source, request, file, report.scans[k], pending[k], report.error)) {
            return false;
        }
    }
    if (!commitAll(request, pending, request.writeDatabase ? &database : nullptr, report.error)) {
        return false;
    }
    report.databaseWritten = request.writeDatabase;
    return true;
}
