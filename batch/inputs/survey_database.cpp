#include "batch/inputs/survey_database.h"

#include "batch/constants.h"
#include "batch/file_ptr.h"
#include "batch/inputs/configuration.h"
#include "batch/int32_range.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

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

// Reads records the way the database format defines them: a value, then the first
// non-blank character after it as its separator; blanks and line ends before a value
// or a separator are skipped, so records may be spread over lines.
class RecordScanner {
public:
    explicit RecordScanner(const std::string& text) : text_(text) { }

    // Line 1, read whole; a carriage return before the line feed is dropped.
    std::string header()
    {
        std::size_t end = text_.find('\n');
        if (end == std::string::npos)
            end = text_.size();
        std::string line = text_.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        pos_ = end < text_.size() ? end + 1 : end;
        return line;
    }

    enum class Field { Ok, End, NotANumber };

    Field real(double& value)
    {
        if (!skipBlanks())
            return Field::End;
        const char* start = text_.c_str() + pos_;
        char* end = nullptr;
        value = std::strtod(start, &end);
        return finishNumber(start, end);
    }

    Field integer(int32_t& value)
    {
        if (!skipBlanks())
            return Field::End;
        const char* start = text_.c_str() + pos_;
        char* end = nullptr;
        const long long v = std::strtoll(start, &end, 10);
        value = clampToInt32(v);
        return finishNumber(start, end);
    }

    // The separator after a value: any one character.
    bool separator()
    {
        if (!skipBlanks())
            return false;
        ++pos_;
        return true;
    }

    // NAME: the run of non-blank characters, whatever its length.
    std::string word()
    {
        if (!skipBlanks())
            return {};
        const std::size_t start = pos_;
        while (pos_ < text_.size() && !isBlank(text_[pos_]))
            ++pos_;
        return text_.substr(start, pos_ - start);
    }

    // Only blanks and line ends are left.
    bool atEnd() { return !skipBlanks(); }

    // The text at the reading position, for a message about a field that is no number.
    std::string textHere() const
    {
        std::size_t end = pos_;
        while (end < text_.size() && end - pos_ < 40 && !isBlank(text_[end]))
            ++end;
        std::string found = text_.substr(pos_, end - pos_);
        for (char& c : found)
            if (!std::isprint(static_cast<unsigned char>(c)))
                c = '?';
        return found;
    }

private:
    bool skipBlanks()
    {
        while (pos_ < text_.size() && isBlank(text_[pos_]))
            ++pos_;
        return pos_ < text_.size();
    }

    Field finishNumber(const char* start, const char* end)
    {
        // strtod stops at an embedded NUL, which the scanner then treats as no number.
        if (end == start)
            return Field::NotANumber;
        pos_ += static_cast<std::size_t>(end - start);
        return Field::Ok;
    }

    const std::string& text_;
    std::size_t pos_ = 0;
};

using Field = RecordScanner::Field;

// One record; End when the file ends before its NAME (that record does not count).
Field readRecord(RecordScanner& in, SurveyRecordText& record)
{
    double* reals[] = {&record.X, &record.Y, &record.Z, &record.A1, &record.A2, &record.A3};
    for (double* value : reals) {
        const Field f = in.real(*value);
        if (f != Field::Ok)
            return f;
        if (!in.separator())
            return Field::End;
    }
    for (int32_t* value : {&record.id1, &record.id2}) {
        const Field f = in.integer(*value);
        if (f != Field::Ok)
            return f;
        if (!in.separator())
            return Field::End;
    }
    record.name = in.word();
    return record.name.empty() ? Field::End : Field::Ok;
}

}  // namespace

std::optional<SurveyDatabase> readSurveyDatabase(const std::string& path)
{
    std::string text;
    if (!readWholeFile(path, text))
        return std::nullopt;
    SurveyDatabase db;
    RecordScanner in(text);
    db.header = in.header();
    while (!in.atEnd()) {
        SurveyRecordText record;
        const Field f = readRecord(in, record);
        if (f == Field::End) {
            db.incompleteRecord = static_cast<int32_t>(db.records.size()) + 1;
            break;
        }
        if (f == Field::NotANumber) {
            db.badRecord = static_cast<int32_t>(db.records.size()) + 1;
            db.badText = in.textHere();
            break;
        }
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
