#include "batch/inputs/configuration.h"

#include "batch/constants.h"
#include "batch/file_ptr.h"
#include "batch/int32_range.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>

namespace {

// One configuration key and the field it feeds: exactly one of the two members is set.
struct KeyField {
    const char* key;
    double RegSettings::*real;
    int32_t RegSettings::*integer;
};

// The field of each key, in the order of SETTING_KEYS.
constexpr KeyField KEY_FIELDS[] = {
    {"GPSMINDIST", &RegSettings::GPSMINDIST, nullptr},
    {"GPSMAXDIST", &RegSettings::GPSMAXDIST, nullptr},
    {"DATADIR", nullptr, &RegSettings::DATADIR},
    {"TRANSX", &RegSettings::TRANSX, nullptr},
    {"TRANSY", &RegSettings::TRANSY, nullptr},
    {"SCANTRANSFORM", nullptr, &RegSettings::SCANTRANSFORM},
    {"ZEROPAD", nullptr, &RegSettings::ZEROPAD},
    {"FILEEXT", nullptr, &RegSettings::FILEEXT},
    {"APPLYFILTER", nullptr, &RegSettings::APPLYFILTER},
    {"MINRANGE", &RegSettings::MINRANGE, nullptr},
    {"MAXRANGE", &RegSettings::MAXRANGE, nullptr},
    {"XMIN", &RegSettings::XMIN, nullptr},
    {"XMAX", &RegSettings::XMAX, nullptr},
    {"YMIN", &RegSettings::YMIN, nullptr},
    {"YMAX", &RegSettings::YMAX, nullptr},
    {"ZMIN", &RegSettings::ZMIN, nullptr},
    {"ZMAX", &RegSettings::ZMAX, nullptr},
    {"dCX", &RegSettings::dCX, nullptr},
    {"dCY", &RegSettings::dCY, nullptr},
    {"dCZ", &RegSettings::dCZ, nullptr},
    {"NUMPPC", nullptr, &RegSettings::NUMPPC},
    {"MINNUMPTS", nullptr, &RegSettings::MINNUMPTS},
    {"MINDISTINITIAL", &RegSettings::MINDISTINITIAL, nullptr},
    {"MINDISTFINAL", &RegSettings::MINDISTFINAL, nullptr},
    {"MAXDISTINITIAL", &RegSettings::MAXDISTINITIAL, nullptr},
    {"MAXDISTFINAL", &RegSettings::MAXDISTFINAL, nullptr},
    {"REGMODE", nullptr, &RegSettings::REGMODE},
    {"REGSOL", nullptr, &RegSettings::REGSOL},
    {"MAXREPEAT", nullptr, &RegSettings::MAXREPEAT},
    {"MAXITER", nullptr, &RegSettings::MAXITER},
    {"ALPHATHRESH", &RegSettings::ALPHATHRESH, nullptr},
    {"RMSTHRESH", &RegSettings::RMSTHRESH, nullptr},
    {"ALPHA", &RegSettings::ALPHA, nullptr},
    {"ALPHAINC", nullptr, &RegSettings::ALPHAINC},
    {"HEADINGSEARCH", &RegSettings::HEADINGSEARCH, nullptr},
    {"ADJUST", nullptr, &RegSettings::ADJUST},
    {"THREADS", nullptr, &RegSettings::THREADS},
};

constexpr bool fieldsFollowTheKeys()
{
    if (sizeof(KEY_FIELDS) / sizeof(KEY_FIELDS[0]) != SETTING_COUNT)
        return false;
    for (int k = 0; k < SETTING_COUNT; ++k) {
        const bool real = KEY_FIELDS[k].real != nullptr;
        if (std::string_view(KEY_FIELDS[k].key) != SETTING_KEYS[k].name
            || real != (SETTING_KEYS[k].type == SettingType::Real))
            return false;
    }
    return true;
}
static_assert(fieldsFollowTheKeys(), "one field per key, in the order and of the type of SETTING_KEYS");

// The value text of a "KEY value" line: the first word and the blanks after it skipped.
const char* valueText(const char* line)
{
    while (*line != '\0' && !std::isspace(static_cast<unsigned char>(*line)))
        ++line;
    while (*line != '\0' && std::isspace(static_cast<unsigned char>(*line)))
        ++line;
    return line;
}

// Converts like scanf's "%i" (0x.. hexadecimal, 0.. octal); values beyond the
// 32-bit range saturate, the same in both builds. False when there is no number.
bool parseInteger(const char* text, int32_t& value)
{
    char* end = nullptr;
    const long long v = std::strtoll(text, &end, 0);
    if (end == text)
        return false;
    value = clampToInt32(v);
    return true;
}

bool parseReal(const char* text, double& value)
{
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (end == text)
        return false;
    value = v;
    return true;
}

// Where parseReal and parseInteger stop reading.
const char* realEnd(const char* text)
{
    char* end = nullptr;
    std::strtod(text, &end);
    return end;
}

const char* integerEnd(const char* text)
{
    char* end = nullptr;
    std::strtoll(text, &end, 0);
    return end;
}

}  // namespace

RegSettings::RegSettings()
{
    for (int k = 0; k < SETTING_COUNT; ++k) {
        const KeyField& field = KEY_FIELDS[k];
        if (field.real != nullptr)
            this->*field.real = SETTING_KEYS[k].defaultValue;
        else
            this->*field.integer = static_cast<int32_t>(SETTING_KEYS[k].defaultValue);
    }
}

double settingValue(const RegSettings& settings, int k)
{
    const KeyField& field = KEY_FIELDS[k];
    return field.real != nullptr ? settings.*field.real : settings.*field.integer;
}

LineOutcome applyConfigurationLine(const char* line, RegSettings& settings)
{
    LineOutcome outcome;
    const char* first = line;
    while (*first != '\0' && std::isspace(static_cast<unsigned char>(*first)))
        ++first;
    if (line[0] == '#' || *first == '\0')
        return outcome;
    outcome.kind = LineOutcome::NotASetting;
    for (int k = 0; k < SETTING_COUNT; ++k) {
        const KeyField& field = KEY_FIELDS[k];
        const std::size_t length = std::strlen(field.key);
        // Every key is followed by one blank, so no key is the beginning of another.
        if (std::strncmp(line, field.key, length) != 0 || line[length] != ' ')
            continue;
        const char* value = valueText(line);
        const bool read = field.real != nullptr ? parseReal(value, settings.*field.real)
                                                : parseInteger(value, settings.*field.integer);
        if (!read)
            return outcome;
        // The value's whole word must be the number: "2,5" reads as 2, "7.9" as 7.
        const char* word = value;
        while (*word != '\0' && !std::isspace(static_cast<unsigned char>(*word)))
            ++word;
        const char* end = nullptr;
        if (field.real != nullptr)
            end = realEnd(value);
        else
            end = integerEnd(value);
        outcome.key = k;
        outcome.kind = end < word ? LineOutcome::PartlyANumber : LineOutcome::Read;
        outcome.word.assign(value, word);
        outcome.used.assign(value, end);
        return outcome;
    }
    return outcome;
}

bool readConfigurationFile(const std::string& path, RegSettings& settings)
{
    FilePtr file(std::fopen(path.c_str(), "r"));
    if (!file)
        return false;
    // Lines longer than 255 characters are taken in pieces, each piece a line of its
    // own; only a piece that begins a line is reported.
    RegSettings read = settings;
    char piece[256];
    int32_t lineNumber = 1;
    bool startsLine = true;
    while (std::fgets(piece, sizeof piece, file.get()) != nullptr) {
        const LineOutcome outcome = applyConfigurationLine(piece, read);
        std::string text = piece;
        const bool endsLine = !text.empty() && text.back() == '\n';
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        if (startsLine && outcome.kind == LineOutcome::NotASetting)
            std::printf("%s line %i: \"%s\" is not a setting; it is ignored\n", path.c_str(), lineNumber, text.c_str());
        if (startsLine && outcome.kind == LineOutcome::PartlyANumber)
            std::printf("%s line %i: \"%s\" is not a number; %s is %s\n", path.c_str(), lineNumber,
                        outcome.word.c_str(), SETTING_KEYS[outcome.key].name, outcome.used.c_str());
        startsLine = endsLine;
        lineNumber += endsLine ? 1 : 0;
    }
    // A file that opens but cannot be read (a folder, say) leaves the defaults in force.
    if (std::ferror(file.get()) != 0)
        return false;
    settings = read;
    return true;
}

std::vector<std::string> configurationPlaces(const std::string& first, const std::string& databasePath)
{
    std::vector<std::string> places{first};
    std::error_code error;
    if (std::filesystem::exists(first, error))
        return places;
    const std::filesystem::path folder = std::filesystem::path(databasePath).parent_path();
    for (const std::string& place : {(folder / "ipcreg.txt").string(), std::string("ipcreg.txt")}) {
        bool known = false;
        for (const std::string& p : places) {
            std::error_code same;
            known = known
                || std::filesystem::path(p).lexically_normal() == std::filesystem::path(place).lexically_normal()
                || std::filesystem::equivalent(p, place, same);
        }
        if (!known)
            places.push_back(place);
    }
    return places;
}

std::string withSuffix(const std::string& path, const std::string& suffix)
{
    const std::size_t keep = path.size() >= 4 ? path.size() - 4 : 0;
    return path.substr(0, keep) + suffix;
}

bool deriveOutputNames(const std::string& path, RegSettings& settings)
{
    if (path.size() <= 4)
        return false;
    const std::string extension = path.substr(path.size() - 4);
    if (extension != ".txt" && extension != ".csv")
        return false;
    settings.scanDatabaseName = path.substr(0, path.size() - 4);
    settings.regFileName = withSuffix(path, "reg.csv");
    settings.rotFileName = withSuffix(path, "rot.csv");
    settings.rmsFileName = withSuffix(path, "rms.csv");
    settings.logFileName = withSuffix(path, "log.txt");
    settings.planFileName = withSuffix(path, "plan.svg");
    settings.pairsFileName = withSuffix(path, "pairs.csv");
    settings.adjustFileName = withSuffix(path, "adjust.csv");
    settings.lockFileName = withSuffix(path, ".lock");
    return true;
}

void convertAnglesToRadians(RegSettings& settings)
{
    settings.ALPHA *= DEG_TO_RAD;
    settings.ALPHATHRESH *= DEG_TO_RAD;
}
