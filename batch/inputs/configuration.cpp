#include "batch/inputs/configuration.h"

#include "batch/constants.h"
#include "batch/file_ptr.h"
#include "batch/int32_range.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
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

void applyConfigurationLine(const char* line, RegSettings& settings)
{
    if (line[0] == '#')
        return;
    for (const KeyField& field : KEY_FIELDS) {
        const std::size_t length = std::strlen(field.key);
        // Every key is followed by one blank, so no key is the beginning of another.
        if (std::strncmp(line, field.key, length) != 0 || line[length] != ' ')
            continue;
        const char* value = valueText(line);
        if (field.real != nullptr)
            parseReal(value, settings.*field.real);
        else
            parseInteger(value, settings.*field.integer);
        return;
    }
}

bool readConfigurationFile(const std::string& path, RegSettings& settings)
{
    FilePtr file(std::fopen(path.c_str(), "r"));
    if (file) {
        // Lines longer than 255 characters are taken in pieces, each piece a line of its own.
        RegSettings read = settings;
        char line[256];
        while (std::fgets(line, sizeof line, file.get()) != nullptr)
            applyConfigurationLine(line, read);
        // A file that opens but cannot be read (a folder, say) leaves the defaults in force.
        if (std::ferror(file.get()) == 0) {
            settings = read;
            return true;
        }
    }
    std::printf("Could not open master input file %s\n", path.c_str());
    std::printf("Make sure this file is in the same directory as the program \n");
    std::printf("USING DEFAULT VALUES!!!!\n");
    return false;
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
    return true;
}

void convertAnglesToRadians(RegSettings& settings)
{
    settings.ALPHA *= DEG_TO_RAD;
    settings.ALPHATHRESH *= DEG_TO_RAD;
}
