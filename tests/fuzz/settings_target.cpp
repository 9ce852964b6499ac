#include "tests/fuzz/settings_target.h"

#include "batch/inputs/configuration.h"
#include "gui/settings_file.h"
#include "tests/fuzz/scratch_folder.h"

#include <QString>

#include <cmath>
#include <cstring>

namespace {

// The batch program's field for each settings key; exactly one member is set.
struct BatchField {
    const char* key;
    double RegSettings::*real;
    int32_t RegSettings::*integer;
};

const BatchField BATCH_FIELDS[] = {
    {"GPSMINDIST", &RegSettings::GPSMINDIST, nullptr}, {"GPSMAXDIST", &RegSettings::GPSMAXDIST, nullptr},
    {"DATADIR", nullptr, &RegSettings::DATADIR},       {"TRANSX", &RegSettings::TRANSX, nullptr},
    {"TRANSY", &RegSettings::TRANSY, nullptr},         {"SCANTRANSFORM", nullptr, &RegSettings::SCANTRANSFORM},
    {"ZEROPAD", nullptr, &RegSettings::ZEROPAD},       {"FILEEXT", nullptr, &RegSettings::FILEEXT},
    {"APPLYFILTER", nullptr, &RegSettings::APPLYFILTER}, {"MINRANGE", &RegSettings::MINRANGE, nullptr},
    {"MAXRANGE", &RegSettings::MAXRANGE, nullptr},     {"XMIN", &RegSettings::XMIN, nullptr},
    {"XMAX", &RegSettings::XMAX, nullptr},             {"YMIN", &RegSettings::YMIN, nullptr},
    {"YMAX", &RegSettings::YMAX, nullptr},             {"ZMIN", &RegSettings::ZMIN, nullptr},
    {"ZMAX", &RegSettings::ZMAX, nullptr},             {"dCX", &RegSettings::dCX, nullptr},
    {"dCY", &RegSettings::dCY, nullptr},               {"dCZ", &RegSettings::dCZ, nullptr},
    {"NUMPPC", nullptr, &RegSettings::NUMPPC},         {"MINNUMPTS", nullptr, &RegSettings::MINNUMPTS},
    {"MINDISTINITIAL", &RegSettings::MINDISTINITIAL, nullptr},
    {"MINDISTFINAL", &RegSettings::MINDISTFINAL, nullptr},
    {"MAXDISTINITIAL", &RegSettings::MAXDISTINITIAL, nullptr},
    {"MAXDISTFINAL", &RegSettings::MAXDISTFINAL, nullptr},
    {"REGMODE", nullptr, &RegSettings::REGMODE},       {"REGSOL", nullptr, &RegSettings::REGSOL},
    {"MAXREPEAT", nullptr, &RegSettings::MAXREPEAT},   {"MAXITER", nullptr, &RegSettings::MAXITER},
    {"ALPHATHRESH", &RegSettings::ALPHATHRESH, nullptr}, {"RMSTHRESH", &RegSettings::RMSTHRESH, nullptr},
    {"ALPHA", &RegSettings::ALPHA, nullptr},           {"ALPHAINC", nullptr, &RegSettings::ALPHAINC},
};
static_assert(sizeof(BATCH_FIELDS) / sizeof(BATCH_FIELDS[0]) == SETTING_COUNT, "one field per key");

bool sameReal(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

// The settings program loads a file into the form, the batch program reads the same
// file as its configuration: both must see the same values. The one difference by
// design: an integer beyond 32 bits saturates in the batch program and leaves the
// form's previous value, so saturated values are not compared.
std::string compareWithBatchReader(const std::string& path, const SettingValues& values)
{
    RegSettings settings;
    if (!readConfigurationFile(path, settings))
        return "the batch program could not read the file";
    for (int k = 0; k < SETTING_COUNT; ++k) {
        const BatchField& field = BATCH_FIELDS[k];
        if (std::strcmp(field.key, SETTING_KEYS[k].name) != 0)
            return "the key tables are not in the same order";
        if (field.real != nullptr && !sameReal(settings.*field.real, values[k].real))
            return std::string("the two programs read different values of ") + field.key;
        if (field.integer != nullptr) {
            const int32_t batch = settings.*field.integer;
            if (batch != INT32_MAX && batch != INT32_MIN && batch != values[k].integer)
                return std::string("the two programs read different values of ") + field.key;
        }
    }
    return "";
}

}  // namespace

std::string feedSettingsFile(const uint8_t* data, std::size_t size)
{
    ScratchFiles cleanup;
    const std::string path = scratchPath("settings.txt");
    if (!writeBytes(path, data, size))
        return "cannot write the scratch file";
    SettingValues values = loaderDefaults();
    QString error;
    if (!readSettingsFile(QString::fromStdString(path), values, error))
        return "the settings file was not read";
    return compareWithBatchReader(path, values);
}
