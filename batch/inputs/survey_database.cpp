#include "batch/inputs/survey_database.h"

#include "batch/constants.h"
#include "batch/file_ptr.h"
#include "batch/inputs/configuration.h"
#include "batch/int32_range.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

bool readWholeFile(const std::string& path, std::string& text)
{
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return false;
    char block[65536];
    std::size_t n = 0;
    while ((n = std::fread(block, 1, sizeof block, file.get())) > 0)
        text.append(block, n);
    return std::ferror(file.get()) == 0;  // a folder opens, but cannot be read
}

bool isBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// A field without the blanks around it.
std::string trimmed(const std::string& field)
{
    std::size_t first = 0, last = field.size();
    while (first < last && isBlank(field[first]))
        ++first;
    while (last > first && isBlank(field[last - 1]))
        --last;
    return field.substr(first, last - first);
}

// The text of a field as a message shows it: characters that do not print become '?',
// and a long field is cut.
std::string shown(const std::string& field)
{
    std::string text = field.substr(0, 60);
    for (char& c : text)
        if (!std::isprint(static_cast<unsigned char>(c)))
            c = '?';
    return text;
}

bool parseReal(const std::string& field, double& value)
{
    const std::string text = trimmed(field);
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && end == text.c_str() + text.size() && std::isfinite(value);
}

bool parseId(const std::string& field, int32_t& value)
{
    const std::string text = trimmed(field);
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    value = clampToInt32(v);
    return !text.empty() && end == text.c_str() + text.size();
}

// One record line: nine comma-separated fields. Fills `record`, or `db`'s problem.
bool readRecordLine(const std::string& line, int32_t lineNumber, SurveyRecordText& record, SurveyDatabase& db)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t comma = line.find(','); comma != std::string::npos; comma = line.find(',', start)) {
        fields.push_back(line.substr(start, comma - start));
        start = comma + 1;
    }
    fields.push_back(line.substr(start));
    db.problemLine = lineNumber;
    if (fields.size() != 9) {
        db.problem = SurveyDatabase::FieldCount;
        db.fieldCount = static_cast<int32_t>(fields.size());
        return false;
    }
    double* reals[] = {&record.X, &record.Y, &record.Z, &record.A1, &record.A2, &record.A3};
    for (int k = 0; k < 8; ++k) {
        const bool number = k < 6 ? parseReal(fields[static_cast<std::size_t>(k)], *reals[k])
                                  : parseId(fields[static_cast<std::size_t>(k)], k == 6 ? record.id1 : record.id2);
        if (!number) {
            db.problem = SurveyDatabase::NotANumber;
            db.problemText = shown(trimmed(fields[static_cast<std::size_t>(k)]));
            return false;
        }
    }
    record.name = trimmed(fields[8]);
    const bool clean = !record.name.empty() && record.name.find_first_of(" \t\v\f\r\"'") == std::string::npos;
    if (!clean) {
        db.problem = SurveyDatabase::BadName;
        db.problemText = shown(record.name);
        return false;
    }
    db.problemLine = 0;
    return true;
}

}  // namespace

std::optional<SurveyDatabase> readSurveyDatabase(const std::string& path)
{
    std::string text;
    if (!readWholeFile(path, text))
        return std::nullopt;
    SurveyDatabase db;
    std::size_t start = 0;
    for (int32_t lineNumber = 1; start < text.size() || lineNumber == 1; ++lineNumber) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (lineNumber == 1) {
            db.header = line;
            continue;
        }
        if (trimmed(line).empty())
            continue;
        SurveyRecordText record;
        if (!readRecordLine(line, lineNumber, record, db))
            break;
        db.records.push_back(std::move(record));
    }
    return db;
}

std::string composeScanFileName(const std::string& scanDatabaseName, int32_t zeroPad, int32_t id1, int32_t id2,
                                const std::string& name)
{
    auto padded = [zeroPad](int32_t id) {
        const char* pad = zeroPad != 1 ? "" : id < 10 ? "00" : id < 100 ? "0" : "";
        return pad + std::to_string(id);
    };
    return scanDatabaseName + "_" + padded(id1) + "_" + padded(id2) + "_" + name + ".bxyz";
}

ScanRecord makeScanRecord(const SurveyRecordText& record, const RegSettings& settings)
{
    ScanRecord scan;
    scan.x = record.X - settings.TRANSX;
    scan.y = record.Y - settings.TRANSY;
    scan.z = record.Z + Z_CORRECTION;
    scan.rotX = record.A1 * DEG_TO_RAD;
    scan.rotY = record.A2 * DEG_TO_RAD;
    scan.rotZ = record.A3 * DEG_TO_RAD;
    scan.scanId = record.id1;
    scan.fileName =
        composeScanFileName(settings.scanDatabaseName, settings.ZEROPAD, record.id1, record.id2, record.name);
    scan.rotationPlus = NOT_FOUND_ROTATION;
    scan.rotationMinus = NOT_FOUND_ROTATION;
    return scan;
}

void findNeighbours(std::vector<ScanRecord>& scans, const RegSettings& settings)
{
    for (ScanRecord& a : scans) {
        a.distPlus = a.distMinus = settings.GPSMAXDIST;
        a.nbrPlus = a.nbrMinus = -1;
        const double ca = settings.DATADIR == 0 ? a.y : a.x;
        for (std::size_t j = 0; j < scans.size(); ++j) {
            const ScanRecord& b = scans[j];
            const double d = std::sqrt((b.y - a.y) * (b.y - a.y) + (b.x - a.x) * (b.x - a.x));
            if (d < settings.GPSMINDIST)
                continue;
            // Strict comparisons: the first of equally distant candidates wins, and a
            // scan level with this one along the survey line is on neither side.
            const double cb = settings.DATADIR == 0 ? b.y : b.x;
            if (cb > ca && d < a.distPlus) {
                a.distPlus = d;
                a.nbrPlus = static_cast<int32_t>(j);
            } else if (cb < ca && d < a.distMinus) {
                a.distMinus = d;
                a.nbrMinus = static_cast<int32_t>(j);
            }
        }
    }
}
