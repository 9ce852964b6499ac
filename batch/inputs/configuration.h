#pragma once

#include <cstdint>
#include <string>

// The program-wide settings: one field per configuration key, named as the key,
// plus the file names derived at start-up. Created in main and passed explicitly;
// nothing writes them once the mode is chosen.
struct RegSettings {
    // Scan database and neighbours
    double GPSMINDIST = 0.0;         ///< metres, smallest distance between neighbouring set-ups
    double GPSMAXDIST = 200.0;       ///< metres, neighbours must be closer than this
    int32_t DATADIR = 0;             ///< 0 north-south survey line, otherwise east-west
    double TRANSX = 0.0;             ///< metres, subtracted from every easting
    double TRANSY = 0.0;             ///< metres, subtracted from every northing
    int32_t SCANTRANSFORM = 0;       ///< 0 points in the scanner frame, 1 already in the survey frame
    int32_t ZEROPAD = 1;             ///< 1 pads scan ids in file names to three digits
    int32_t FILEEXT = 0;             ///< 0 evaluation reads the "_rot.txt" files, otherwise the originals
    int32_t APPLYFILTER = 0;         ///< 1 also filters the rotated point files
    // Point filters
    double MINRANGE = 0.0;           ///< metres from the scanner, text points only
    double MAXRANGE = 999999999.0;   ///< metres from the scanner, text points only
    double XMIN = -1e10;             ///< metres, survey frame
    double XMAX = 1e10;
    double YMIN = -1e10;
    double YMAX = 1e10;
    double ZMIN = -1e10;             ///< metres; also the lower window of the search cubes
    double ZMAX = 1e10;
    // Search cubes and pairing
    double dCX = 1.0;                ///< metres, search cube size in x
    double dCY = 1.0;                ///< metres, search cube size in y
    double dCZ = 1.0;                ///< metres, search cube size in z
    int32_t NUMPPC = 10;             ///< query points used per cube
    int32_t MINNUMPTS = 1000;        ///< fewest pairs for a valid RMS
    double MINDISTINITIAL = 0.0;     ///< metres, lower pair distance at the start
    double MINDISTFINAL = 0.0;       ///< metres, lower pair distance at the end
    double MAXDISTINITIAL = 0.5;     ///< metres, upper pair distance at the start
    double MAXDISTFINAL = 0.1;       ///< metres, upper pair distance at the end
    // Solution method
    int32_t REGMODE = 1;             ///< 0 point to point, 1 point to plane
    int32_t REGSOL = 0;              ///< 0 partial least squares, 1 iterative search, else ping-pong
    int32_t MAXREPEAT = 3;           ///< repeat cycles
    int32_t MAXITER = 5;             ///< iterations of smaller rotations
    double ALPHATHRESH = 1.75e-5;    ///< angle stop threshold: degrees as read, radians after the menu
    double RMSTHRESH = 0.04;         ///< metres, RMS stop threshold
    double ALPHA = 2.0;              ///< largest search angle: degrees as read, radians after the menu
    int32_t ALPHAINC = 5;            ///< search steps per half-width

    // Files
    std::string configPath;          ///< the configuration file read at start
    std::string gpsFileName;         ///< the survey database path
    std::string scanDatabaseName;    ///< database path without its extension; prefix of scan files
    std::string regFileName;         ///< registration table
    std::string rotFileName;         ///< rotation table
    std::string rmsFileName;         ///< RMS table
    std::string logFileName;         ///< log file
};

/// Reads the configuration file into `settings`; keys absent from the file keep
/// their values. Prints the three "could not open" lines and returns false when
/// the file cannot be opened.
bool readConfigurationFile(const std::string& path, RegSettings& settings);

/// Reads configuration text already in memory (the file reader feeds it line by line).
void applyConfigurationLine(const char* line, RegSettings& settings);

/// `path` without its last four characters, followed by `suffix`.
std::string withSuffix(const std::string& path, const std::string& suffix);

/// Sets `scanDatabaseName` and the four output names from the database path.
/// Returns false and sets nothing unless the path ends in ".txt" or ".csv" after
/// at least one more character.
bool deriveOutputNames(const std::string& path, RegSettings& settings);

/// Turns `ALPHA` and `ALPHATHRESH` from degrees into radians, once the mode is chosen.
void convertAnglesToRadians(RegSettings& settings);
