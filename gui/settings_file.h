#pragma once
// Settings files: the configuration file that the batch program reads ("ipcreg.txt") and
// every settings file the user saves or loads share one text format of "KEY value" lines
// and "#" comment lines. Plain functions on plain records: no widgets here.

#include "batch/inputs/setting_keys.h"

#include <QByteArray>
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

/// The file content: the fixed 111-line layout (comment lines and one line per key, "\n"
/// line ends, Latin-1).
QByteArray settingsFileContent(const SettingTexts& texts);

/// Writes settingsFileContent(texts) to `path`. The old file stays intact unless the whole
/// new one was written, except in a folder that takes no new file, where a writable file
/// is written in place. On failure returns false and sets `error` to the reason.
bool writeSettingsFile(const QString& path, const SettingTexts& texts, QString& error);

/// The same, but an existing file whose content differs from the new one is first kept as
/// `path` + ".bak" (replacing an older backup); `keptBackup` says whether that happened.
/// When the backup cannot be made nothing is written.
bool replaceSettingsFile(const QString& path, const SettingTexts& texts, QString& error, bool& keptBackup);

/// Reads `path` into `values`, which start from loaderDefaults(). Lines are taken in pieces
/// of at most 255 characters; a key line matches when it begins with the key and one
/// blank; a value that cannot be scanned keeps the previous one; the last line of a key
/// wins. Returns false (and leaves `values` untouched) when the file cannot be opened.
bool readSettingsFile(const QString& path, SettingValues& values, QString& error);

/// The shortest text that reads back as the same double, in fixed notation (1e-10 gives
/// 0.0000000001, -1e10 gives -10000000000). Only a value whose fixed text would not fit
/// on one line that the readers take whole (beyond about 1e+-220) is given in exponent form.
QString formatRealSetting(double value);

/// Reads the text of a number field: a decimal number (decimal point, optional exponent)
/// for a Real key, a decimal whole number within 32 bits for an Integer key; blanks
/// around it allowed. False when the text is no such number.
bool parseSettingText(const QString& text, SettingType type, SettingValue& value);

/// The text written for a value read by parseSettingText: formatRealSetting or decimal.
QString settingText(SettingType type, const SettingValue& value);
