#include "gui/settings_file.h"

#include <QByteArray>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// One line of the written layout: either a comment written as it stands, or a key
// followed by one blank and its value text.
struct LayoutLine {
    const char* comment;  ///< whole line with its "\n", or nullptr for a key line
    const char* key;      ///< key of a key line, or nullptr
};

constexpr LayoutLine LAYOUT[] = {
    {"##  Note - This is the input for Tavrin.  This file can be created via the GUI or manually edited.\n", nullptr},
    {"##\n", nullptr},
    {"##  Input Data Properties\n", nullptr},
    {"##\n", nullptr},
    {"## These variables deal with the scan database\n", nullptr},
    {"##\n", nullptr},
    {"## double values:  Minimum and maximum distance between scan locations to register together.  If \n", nullptr},
    {"##                 scans are not within this range, they will not be considered for registration.\n", nullptr},
    {nullptr, "GPSMINDIST"},
    {nullptr, "GPSMAXDIST"},
    {"## int:  Principal data direction 0 = NS, 1 = EW\n", nullptr},
    {nullptr, "DATADIR"},
    {"## Some software chokes on large numbers (data is processed as floats rather than doubles. \n", nullptr},
    {"## Hence you need to offset the data for it to read.  Usually that software works well when the \n", nullptr},
    {"## values are no larger than 9,999 to preserve mm level detail.  \n", nullptr},
    {"## \n", nullptr},
    {"## Tavrin uses doubles, so this isn't necessary.  However, I would recommend it to center the data\n", nullptr},
    {"## closer to 0 so that it reduces the potential for round off in large summations.\n", nullptr},
    {"##\n", nullptr},
    {nullptr, "TRANSX"},
    {nullptr, "TRANSY"},
    {"##\n", nullptr},
    {"##int:  Scans (.bxyz files) are at scanner origin? 0,0,0 ?  0= scan origin is at 0,0,0, 1 = scan origin is at "
     "GPS point (minus z correction) and level compensation values and yaw estimate have been applied.\n",
     nullptr},
    {nullptr, "SCANTRANSFORM"},
    {"##\n", nullptr},
    {"##\n", nullptr},
    {"## FILE IMPORT/EXPORT PARAMETERS\n", nullptr},
    {"##\n", nullptr},
    {"## int: pad zeros when constructing file names from Point IDs\n", nullptr},
    {"## (0=false, 1 = true will pad with two zeros before Id< 10 (e.g. 009) or one for 10< ID < 100)\n", nullptr},
    {nullptr, "ZEROPAD"},
    {"##  File extension 0 = append _rot.txt (check files output by tavrin) or 1 = .txt (check files in general)\n",
     nullptr},
    {nullptr, "FILEEXT"},
    {"##\n", nullptr},
    {"## SCAN FILTERING PARAMETERS\n", nullptr},
    {"##\n", nullptr},
    {"## int:  Filter Application:  0 = only for registration and rms calculations, 1 = always (including data "
     "export)\n",
     nullptr},
    {nullptr, "APPLYFILTER"},
    {"##\n", nullptr},
    {"##\n", nullptr},
    {"## RANGE FILTERS (only applied on text files)\n", nullptr},
    {"##\n", nullptr},
    {"## floats: min and max range of scan data to use (applied on conversion for bxyz files.\n", nullptr},
    {nullptr, "MINRANGE"},
    {nullptr, "MAXRANGE"},
    {"##\n", nullptr},
    {"## EXTENT FILTERS\n", nullptr},
    {"##\n", nullptr},
    {"## doubles\n", nullptr},
    {nullptr, "XMIN"},
    {nullptr, "XMAX"},
    {nullptr, "YMIN"},
    {nullptr, "YMAX"},
    {nullptr, "ZMIN"},
    {nullptr, "ZMAX"},
    {"##\n", nullptr},
    {"##  REGISTRATION ALGORITHM OPTIONS\n", nullptr},
    {"##\n", nullptr},
    {"## Search cube parameters\n", nullptr},
    {"##\n", nullptr},
    {"## float:  dimensions of search cube \n", nullptr},
    {nullptr, "dCX"},
    {nullptr, "dCY"},
    {nullptr, "dCZ"},
    {"## int:  points per search cube to use for registration\n", nullptr},
    {nullptr, "NUMPPC"},
    {"## int: min # of points to use for registration (1000 recommended)\n", nullptr},
    {nullptr, "MINNUMPTS"},
    {"##\n", nullptr},
    {"## Distance thresholds for matching points\n", nullptr},
    {"##\n", nullptr},
    {"## floats:  Min and max distance thresholds, (Initial and Final)\n", nullptr},
    {"## determines how close points need to be together to be considered a pair \n", nullptr},
    {nullptr, "MINDISTINITIAL"},
    {nullptr, "MINDISTFINAL"},
    {nullptr, "MAXDISTINITIAL"},
    {nullptr, "MAXDISTFINAL"},
    {"## \n", nullptr},
    {"## Registration Parameters\n", nullptr},
    {"##\n", nullptr},
    {"## Registration Solution\n", nullptr},
    {"## int:  0 = Partial Solution or 1 = Brute force method 2 = 'Ping pong'' method\n", nullptr},
    {nullptr, "REGSOL"},
    {"## int: Registration mode (0=ICP,1 = Point to plane)\n", nullptr},
    {nullptr, "REGMODE"},
    {"##\n", nullptr},
    {"## int # of repeat cycles to perform (REC 4 for REGSOL 1 or 2, 50 for PingPong)\n", nullptr},
    {nullptr, "MAXREPEAT"},
    {"## int: # of iterations of smaller rotations to perform (REC: 4 for RegSol 1 or 2, 50 for Ping Pong)\n", nullptr},
    {nullptr, "MAXITER"},
    {"##\n", nullptr},
    {"## double:  alphathresh -> stop iterations if angle values from 2 time steps are within alphathresh and rms is "
     "below this threshold\n",
     nullptr},
    {nullptr, "ALPHATHRESH"},
    {"## double:  rmsthresh -> stop iterations if angle values from 2 time steps are within alphathresh and rms is "
     "below this threshold\n",
     nullptr},
    {nullptr, "RMSTHRESH"},
    {"##\n", nullptr},
    {"##  ANGLE ITERATION (Not applicable for 'Ping Pong'' Method)\n", nullptr},
    {"##\n", nullptr},
    {"## float:  max search angle (degrees) (2.0 recommended)\n", nullptr},
    {nullptr, "ALPHA"},
    {"## int:  search angle start incriments (will be 2x this value).\n", nullptr},
    {nullptr, "ALPHAINC"},
    {"##\n", nullptr},
    {"## HEADING SEARCH, SURVEY ADJUSTMENT AND THREADS\n", nullptr},
    {"##\n", nullptr},
    {"## double:  half-width (degrees) of the headings searched around the database headings before the "
     "point-to-plane solve (REGSOL 3); 0 = no search, the solve starts from the database headings\n",
     nullptr},
    {nullptr, "HEADINGSEARCH"},
    {"## int:  rotation of each scan: 0 = mean of the registration rows, 1 = least-squares adjustment of all its "
     "trusted pairs (also writes <db>adjust.csv with each scan's uncertainty)\n",
     nullptr},
    {nullptr, "ADJUST"},
    {"## int:  threads: 0 = every core the system gives the program, N = at most N threads, 1 = one thread\n", nullptr},
    {nullptr, "THREADS"},
};
static_assert(sizeof(LAYOUT) / sizeof(LAYOUT[0]) == 111, "the layout has 111 lines");

// Every key of SETTING_KEYS on exactly one line.
constexpr bool layoutHoldsEveryKeyOnce()
{
    int lines[SETTING_COUNT] = {};
    for (const LayoutLine& line : LAYOUT) {
        if (line.key == nullptr)
            continue;
        const int k = settingIndex(line.key);
        if (k < 0)
            return false;
        ++lines[k];
    }
    for (int count : lines) {
        if (count != 1)
            return false;
    }
    return true;
}
static_assert(layoutHoldsEveryKeyOnce(), "every key on one line of the layout");

// A loader buffer of 256 bytes holds 255 characters and the terminating NUL; longer
// lines arrive as several pieces, each scanned as a line of its own.
constexpr qint64 PIECE_BUFFER = 256;

// The longest value text that still leaves a key line within one piece: 255 characters,
// less the longest key, its blank and the line feed.
constexpr int LONGEST_VALUE_TEXT = 255 - 14 - 2;

// A value that would break the line structure (a pasted line break) is flattened, so
// the file keeps exactly one line per key.
QByteArray valueBytes(const QString& text)
{
    QByteArray bytes = text.toLatin1();  // characters outside Latin-1 become '?'
    bytes.replace('\r', ' ');
    bytes.replace('\n', ' ');
    return bytes;
}

// scanf "%lf" after the key: leading white space skipped, then the longest number.
void scanReal(const char* text, double& value)
{
    char* end = nullptr;
    const double scanned = std::strtod(text, &end);
    if (end != text)
        value = scanned;
}

// scanf "%i" after the key: base from the prefix (0x hexadecimal, 0 octal). A number
// outside the 32-bit range counts as not scanned instead of wrapping to a wrong value.
void scanInteger(const char* text, int& value)
{
    char* end = nullptr;
    errno = 0;
    const long scanned = std::strtol(text, &end, 0);
    if (end == text || errno == ERANGE || scanned < INT_MIN || scanned > INT_MAX)
        return;
    value = static_cast<int>(scanned);
}

void scanPiece(const char* piece, SettingValues& values)
{
    if (piece[0] == '#')
        return;
    for (int k = 0; k < SETTING_COUNT; ++k) {
        const SettingKey& key = SETTING_KEYS[k];
        const size_t keyLength = std::strlen(key.name);
        if (std::strncmp(piece, key.name, keyLength) != 0 || piece[keyLength] != ' ')
            continue;
        const char* valueText = piece + keyLength + 1;
        if (key.type == SettingType::Real) {
            scanReal(valueText, values[k].real);
        } else {
            scanInteger(valueText, values[k].integer);
        }
        return;  // the first matching key takes the line
    }
}

// A full disk takes part of a write without an error; only the next write reports it.
// So write until every byte is taken or a write fails.
bool writeAll(QSaveFile& file, const QByteArray& bytes)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 taken = file.write(bytes.constData() + done, bytes.size() - done);
        if (taken <= 0)
            return false;
        done += taken;
    }
    return true;
}

}  // namespace

SettingValues loaderDefaults()
{
    SettingValues values;
    for (int k = 0; k < SETTING_COUNT; ++k) {
        values[k].real = SETTING_KEYS[k].defaultValue;
        // Only an integer key has an integer default; a real default such as -1e10 has no int value.
        if (SETTING_KEYS[k].type == SettingType::Integer)
            values[k].integer = static_cast<int>(SETTING_KEYS[k].defaultValue);
    }
    return values;
}

QByteArray settingsFileContent(const SettingTexts& texts)
{
    QByteArray content;
    for (const LayoutLine& line : LAYOUT) {
        if (line.comment != nullptr) {
            content += line.comment;
            continue;
        }
        content += line.key;
        content += ' ';
        content += valueBytes(texts[settingIndex(line.key)]);
        content += '\n';
    }
    return content;
}

bool writeSettingsFile(const QString& path, const SettingTexts& texts, QString& error)
{
    const QByteArray content = settingsFileContent(texts);
    // QSaveFile replaces the old file only once the new one is complete. That takes a
    // temporary file beside it; a user who may write the file but not its folder still
    // gets it written, in place (a failure midway then leaves it incomplete).
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    // Unbuffered: at close, QFileDevice drops what a full disk did not take of its buffer
    // without an error, and the cut file would replace the old one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || !writeAll(file, content) || !file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}

bool replaceSettingsFile(const QString& path, const SettingTexts& texts, QString& error, bool& keptBackup)
{
    keptBackup = false;
    QFile old(path);
    if (old.exists() && old.open(QIODevice::ReadOnly)) {
        const bool same = old.readAll() == settingsFileContent(texts);
        old.close();
        if (!same) {
            const QString backup = path + QStringLiteral(".bak");
            QFile::remove(backup);
            if (!old.copy(backup)) {
                error = QStringLiteral("the old file could not be kept as %1: %2").arg(backup, old.errorString());
                return false;
            }
            keptBackup = true;
        }
    }
    return writeSettingsFile(path, texts, error);
}

bool readSettingsFile(const QString& path, SettingValues& values, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return false;
    }
    SettingValues read = loaderDefaults();
    char piece[PIECE_BUFFER];
    qint64 length = 0;
    while ((length = file.readLine(piece, PIECE_BUFFER)) > 0) {
        // Text mode: a carriage return before the line feed is not part of the line.
        if (length >= 2 && piece[length - 2] == '\r' && piece[length - 1] == '\n') {
            piece[length - 2] = '\n';
            piece[length - 1] = '\0';
        }
        scanPiece(piece, read);
    }
    values = read;
    return true;
}

QString formatRealSetting(double value)
{
    // 1e308 takes 309 digits in fixed form; 1100 characters hold any double that way.
    char text[1100];
    std::to_chars_result end = std::to_chars(text, text + sizeof(text), value, std::chars_format::fixed);
    if (end.ec != std::errc() || end.ptr - text > LONGEST_VALUE_TEXT)
        end = std::to_chars(text, text + sizeof(text), value);  // shortest, exponent form where shorter
    return QString::fromLatin1(text, int(end.ptr - text));
}

bool parseSettingText(const QString& text, SettingType type, SettingValue& value)
{
    static const QRegularExpression real(QStringLiteral("^\\s*[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?\\s*$"));
    static const QRegularExpression whole(QStringLiteral("^\\s*[+-]?\\d+\\s*$"));
    const QByteArray bytes = text.toLatin1();
    char* end = nullptr;
    if (type == SettingType::Real) {
        if (!real.match(text).hasMatch())
            return false;
        const double v = std::strtod(bytes.constData(), &end);
        if (!std::isfinite(v))
            return false;
        value.real = v;
        return true;
    }
    if (!whole.match(text).hasMatch())
        return false;
    errno = 0;
    const long long v = std::strtoll(bytes.constData(), &end, 10);  // decimal: "010" is ten
    if (errno == ERANGE || v < INT_MIN || v > INT_MAX)
        return false;
    value.integer = static_cast<int>(v);
    return true;
}

QString settingText(SettingType type, const SettingValue& value)
{
    return type == SettingType::Real ? formatRealSetting(value.real) : QString::number(value.integer);
}
