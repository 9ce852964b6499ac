#pragma once
// Settings files: the configuration file that the batch program reads ("ipcreg.txt") and
// every settings file the user saves or loads share one text format of "KEY value" lines
// and "#" comment lines. Plain functions on plain records: no widgets here.

#include <QString>

#include <array>

enum class SettingType {
    Real,     ///< scanned like scanf "%lf"
    Integer,  ///< scanned like scanf "%i": 0x.. hexadecimal, 0.. octal
};

struct SettingKey {
    const char* name = "";                 ///< key text as it stands in the file (case matters)
    SettingType type = SettingType::Real;  ///< how its value is scanned
    double loaderDefault = 0.0;            ///< value when a loaded file lacks the key
};

constexpr int SETTING_COUNT = 34;

/// Every key, in the order the loader tries them. Indices into this table index
/// SettingValues and SettingTexts.
extern const std::array<SettingKey, SETTING_COUNT> SETTING_KEYS;

/// Index of the key called `name` in SETTING_KEYS, or -1.
int settingIndex(const char* name);

struct SettingValue {
    double real = 0.0;  ///< value of a Real key
    int integer = 0;    ///< value of an Integer key
};
using SettingValues = std::array<SettingValue, SETTING_COUNT>;  ///< SETTING_KEYS order

/// Texts to write after each key, SETTING_KEYS order. Written as Latin-1.
using SettingTexts = std::array<QString, SETTING_COUNT>;

/// The values a settings file with no key lines loads.
SettingValues loaderDefaults();

/// Writes the fixed 102-line layout (comment lines and one line per key, "\n" line ends,
/// Latin-1) to `path`. The old file stays intact unless the whole new one was written.
/// On failure returns false and sets `error` to the reason.
bool writeSettingsFile(const QString& path, const SettingTexts& texts, QString& error);

/// Reads `path` into `values`, which start from loaderDefaults(). Lines are taken in pieces
/// of at most 255 characters; a key line matches when it begins with the key and one
/// blank; a value that cannot be scanned keeps the previous one; the last line of a key
/// wins. Returns false (and leaves `values` untouched) when the file cannot be opened.
bool readSettingsFile(const QString& path, SettingValues& values, QString& error);

/// printf "%g": six significant digits, the text a loaded real value shows in its field.
QString formatRealSetting(double value);
