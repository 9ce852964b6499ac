#pragma once
// Settings files: the configuration file that the batch program reads ("ipcreg.txt") and
// every settings file the user saves or loads share one text format of "KEY value" lines
// and "#" comment lines. Plain functions on plain records: no widgets here.

#include "batch/inputs/setting_keys.h"

#include <QString>

#include <array>

// The keys, their types and defaults are the batch program's own table, SETTING_KEYS;
// its indices index SettingValues and SettingTexts.

struct SettingValue {
    double real = 0.0;  ///< value of a Real key
    int integer = 0;    ///< value of an Integer key
};
using SettingValues = std::array<SettingValue, SETTING_COUNT>;  ///< SETTING_KEYS order

/// Texts to write after each key, SETTING_KEYS order. Written as Latin-1.
using SettingTexts = std::array<QString, SETTING_COUNT>;

/// The values a settings file with no key lines loads.
SettingValues loaderDefaults();

/// Writes the fixed 111-line layout (comment lines and one line per key, "\n" line ends,
/// Latin-1) to `path`. The old file stays intact unless the whole new one was written,
/// except in a folder that takes no new file, where a writable file is written in place.
/// On failure returns false and sets `error` to the reason.
bool writeSettingsFile(const QString& path, const SettingTexts& texts, QString& error);

/// Reads `path` into `values`, which start from loaderDefaults(). Lines are taken in pieces
/// of at most 255 characters; a key line matches when it begins with the key and one
/// blank; a value that cannot be scanned keeps the previous one; the last line of a key
/// wins. Returns false (and leaves `values` untouched) when the file cannot be opened.
bool readSettingsFile(const QString& path, SettingValues& values, QString& error);

/// printf "%g": six significant digits, the text a loaded real value shows in its field.
QString formatRealSetting(double value);
