#include "tests/fuzz/settings_target.h"

#include "gui/settings_file.h"
#include "tests/fuzz/scratch_folder.h"

#include <QString>

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
    // Every loaded real must show as text that a later save can write.
    for (int k = 0; k < SETTING_COUNT; ++k)
        if (SETTING_KEYS[k].type == SettingType::Real && formatRealSetting(values[k].real).isEmpty())
            return "a loaded value shows as no text";
    return "";
}
