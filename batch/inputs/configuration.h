#pragma once

#include "batch/inputs/setting_keys.h"

#include <cstdint>
#include <string>
#include <vector>

// The program-wide settings: one field per configuration key, named as the key,
// plus the file names derived at start-up. Created in main and passed explicitly;
// nothing writes them once the mode is chosen.
struct RegSettings {
    /// Every key at its default from SETTING_KEYS.
    RegSettings();

    // Scan database and neighbours
    double GPSMINDIST;      ///< metres, smallest distance between neighbouring set-ups
    double GPSMAXDIST;      ///< metres, neighbours must be closer than this
    int32_t DATADIR;        ///< 0 north-south survey line, otherwise east-west
    double TRANSX;          ///< metres, subtracted from every easting
    double TRANSY;          ///< metres, subtracted from every northing
    int32_t SCANTRANSFORM;  ///< 0 points in the scanner frame, 1 already in the survey frame
    int32_t ZEROPAD;        ///< 1 pads scan ids in file names to three digits
    int32_t FILEEXT;        ///< 0 evaluation reads the "_rot.txt" files, otherwise the originals
    int32_t APPLYFILTER;    ///< 1 also filters the rotated point files
    // Point filters
    double MINRANGE;  ///< metres from the scanner, text points only
    double MAXRANGE;  ///< metres from the scanner, text points only
    double XMIN;      ///< metres, survey frame
    double XMAX;      ///< metres, survey frame
    double YMIN;      ///< metres, survey frame
    double YMAX;      ///< metres, survey frame
    double ZMIN;      ///< metres; also the lower window of the search cubes
    double ZMAX;      ///< metres
    // Search cubes and pairing
    double dCX;             ///< metres, search cube size in x
    double dCY;             ///< metres, search cube size in y
    double dCZ;             ///< metres, search cube size in z
    int32_t NUMPPC;         ///< query points used per cube
    int32_t MINNUMPTS;      ///< fewest pairs for a valid RMS
    double MINDISTINITIAL;  ///< metres, lower pair distance at the start
    double MINDISTFINAL;    ///< metres, lower pair distance at the end
    double MAXDISTINITIAL;  ///< metres, upper pair distance at the start
    double MAXDISTFINAL;    ///< metres, upper pair distance at the end
    // Solution method
    int32_t REGMODE;     ///< 0 point to point, 1 point to plane
    int32_t REGSOL;      ///< 0 partial least squares, 1 iterative search, 3 point to plane, else ping-pong
    int32_t MAXREPEAT;   ///< repeat cycles
    int32_t MAXITER;     ///< iterations of smaller rotations
    double ALPHATHRESH;  ///< angle stop threshold: degrees as read, radians after the menu
    double RMSTHRESH;    ///< metres, RMS stop threshold
    double ALPHA;        ///< largest search angle: degrees as read, radians after the menu
    int32_t ALPHAINC;    ///< search steps per half-width
    // Heading search, survey adjustment and threads
    double HEADINGSEARCH;  ///< degrees, half-width of the headings searched before the REGSOL 3 solve; 0 none
    int32_t ADJUST;        ///< 1 least-squares adjustment of each scan's rotation, 0 mean of the rows
    int32_t THREADS;       ///< 0 every core, N at most N threads, 1 one thread

    // Run
    int32_t threads = 1;  ///< worker threads of this run, from THREADS (0: every core)

    // Files
    std::string configPath;        ///< the configuration file read at start
    std::string gpsFileName;       ///< the survey database path
    std::string scanDatabaseName;  ///< database path without its extension; prefix of scan files
    std::string regFileName;       ///< registration table
    std::string rotFileName;       ///< rotation table
    std::string rmsFileName;       ///< RMS table
    std::string logFileName;       ///< log file
    std::string planFileName;      ///< plan of the run (SVG)
    std::string pairsFileName;     ///< the figures behind each registered pair (REGSOL 3)
    std::string adjustFileName;    ///< each scan's adjusted correction and its uncertainty (ADJUST 1)
    std::string lockFileName;      ///< the lock a run holds on the survey's outputs
};

/// Reads the configuration file into `settings`; keys absent from the file keep their
/// values. A line that sets nothing, or whose value reads only in part, is reported
/// with its line number. False (and `settings` untouched) when the file cannot be
/// opened or read.
bool readConfigurationFile(const std::string& path, RegSettings& settings);

/// The places the configuration file is looked for, in order: `first` (beside the
/// program, or in the working folder for a program started by its bare name); when
/// that does not exist, also beside the survey database and in the working folder,
/// each place once.
std::vector<std::string> configurationPlaces(const std::string& first, const std::string& databasePath);

/// The value of key number `k` of SETTING_KEYS in `settings`; an integer key's value
/// is widened to double, which holds it exactly.
double settingValue(const RegSettings& settings, int k);

// How one line of the configuration file was read.
struct LineOutcome {
    enum Kind { Ignored, Read, NotASetting, PartlyANumber };
    Kind kind = Ignored;  ///< Ignored: blank or a comment
    int key = -1;         ///< the key's place in SETTING_KEYS when its value was read
    std::string word;     ///< the value as written, up to the first blank
    std::string used;     ///< the part of it that was read
};

/// Reads one line of configuration text (the file reader feeds it line by line).
LineOutcome applyConfigurationLine(const char* line, RegSettings& settings);

/// `path` without its last four characters, followed by `suffix`.
std::string withSuffix(const std::string& path, const std::string& suffix);

/// Sets `scanDatabaseName`, the output names and the lock name from the database path.
/// Returns false and sets nothing unless the path ends in ".txt" or ".csv" after
/// at least one more character.
bool deriveOutputNames(const std::string& path, RegSettings& settings);

/// Turns `ALPHA` and `ALPHATHRESH` from degrees into radians, once the mode is chosen.
void convertAnglesToRadians(RegSettings& settings);
