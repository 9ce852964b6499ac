#pragma once

// The keys of the configuration file: name, how the value is read and the value when
// the file lacks the key. The batch program's reader, the settings program and their
// tests all take the keys from this one table; it needs nothing but the language.

#include <array>
#include <string_view>

enum class SettingType {
    Real,     ///< read like scanf "%lf"
    Integer,  ///< read like scanf "%i": 0x.. hexadecimal, 0.. octal
};

struct SettingKey {
    const char* name;     ///< the key as it stands in the file; case matters
    SettingType type;     ///< how its value is read
    double defaultValue;  ///< the value while the file does not set it (degrees for the angles)
};

inline constexpr int SETTING_COUNT = 37;

/// Every key, in the order the readers try them. Since each key is followed by one
/// blank on its line, no key is the beginning of another and the order decides nothing.
inline constexpr std::array<SettingKey, SETTING_COUNT> SETTING_KEYS = {{
    {"GPSMINDIST", SettingType::Real, 0.0},
    {"GPSMAXDIST", SettingType::Real, 200.0},
    {"DATADIR", SettingType::Integer, 0},
    {"TRANSX", SettingType::Real, 0.0},
    {"TRANSY", SettingType::Real, 0.0},
    {"SCANTRANSFORM", SettingType::Integer, 0},
    {"ZEROPAD", SettingType::Integer, 1},
    {"FILEEXT", SettingType::Integer, 0},
    {"APPLYFILTER", SettingType::Integer, 0},
    {"MINRANGE", SettingType::Real, 0.0},
    {"MAXRANGE", SettingType::Real, 999999999.0},
    {"XMIN", SettingType::Real, -1e10},
    {"XMAX", SettingType::Real, 1e10},
    {"YMIN", SettingType::Real, -1e10},
    {"YMAX", SettingType::Real, 1e10},
    {"ZMIN", SettingType::Real, -1e10},
    {"ZMAX", SettingType::Real, 1e10},
    {"dCX", SettingType::Real, 1.0},
    {"dCY", SettingType::Real, 1.0},
    {"dCZ", SettingType::Real, 1.0},
    {"NUMPPC", SettingType::Integer, 10},
    {"MINNUMPTS", SettingType::Integer, 1000},
    {"MINDISTINITIAL", SettingType::Real, 0.0},
    {"MINDISTFINAL", SettingType::Real, 0.0},
    {"MAXDISTINITIAL", SettingType::Real, 0.5},
    {"MAXDISTFINAL", SettingType::Real, 0.1},
    {"REGMODE", SettingType::Integer, 1},
    {"REGSOL", SettingType::Integer, 0},
    {"MAXREPEAT", SettingType::Integer, 3},
    {"MAXITER", SettingType::Integer, 5},
    {"ALPHATHRESH", SettingType::Real, 1.75e-5},
    {"RMSTHRESH", SettingType::Real, 0.04},
    {"ALPHA", SettingType::Real, 2.0},
    {"ALPHAINC", SettingType::Integer, 5},
    {"HEADINGSEARCH", SettingType::Real, 180.0},
    {"ADJUST", SettingType::Integer, 1},
    {"THREADS", SettingType::Integer, 0},
}};

/// The position of `name` in SETTING_KEYS, or -1.
constexpr int settingIndex(std::string_view name)
{
    for (int k = 0; k < SETTING_COUNT; ++k)
        if (name == SETTING_KEYS[k].name)
            return k;
    return -1;
}
