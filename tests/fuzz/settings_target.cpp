#include "tests/fuzz/settings_target.h"

#include "batch/inputs/configuration.h"
#include "gui/settings_file.h"
#include "tests/fuzz/scratch_folder.h"

#include <QString>

#include <cmath>
#include <cstring>

namespace {

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
        const double batch = settingValue(settings, k);
        const std::string differ = std::string("the two programs read different values of ") + SETTING_KEYS[k].name;
        if (SETTING_KEYS[k].type == SettingType::Real && !sameReal(batch, values[k].real))
            return differ;
        if (SETTING_KEYS[k].type == SettingType::Integer && batch != INT32_MAX && batch != INT32_MIN
            && batch != values[k].integer)
            return differ;
    }
    return "";
}

// What the settings program writes for a loaded real must read back as the same double;
// a value that is no finite number is refused on save instead.
std::string checkWrittenValues(const SettingValues& values)
{
    for (int k = 0; k < SETTING_COUNT; ++k) {
        if (SETTING_KEYS[k].type != SettingType::Real || !std::isfinite(values[k].real))
            continue;
        SettingValue back;
        if (!parseSettingText(formatRealSetting(values[k].real), SettingType::Real, back)
            || std::memcmp(&back.real, &values[k].real, sizeof(double)) != 0)
            return std::string("the written text of ") + SETTING_KEYS[k].name + " reads back as another value";
    }
    return "";
}

}  // namespace

std::string feedSettingsFile(const uint8_t* data, std::size_t size)
{
    ScratchFiles cleanup;
    const std::string path = scratchPath("settings.txt");
    if (!writeFile(path, data, size))
        return "cannot write the scratch file";
    SettingValues values = loaderDefaults();
    QString error;
    if (!readSettingsFile(QString::fromStdString(path), values, error))
        return "the settings file was not read";
    const std::string differ = compareWithBatchReader(path, values);
    return differ.empty() ? checkWrittenValues(values) : differ;
}
