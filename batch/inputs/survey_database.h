#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct RegSettings;

// One scan of the survey, in survey-database order; its index in the scan table
// is its identity everywhere in the program.
struct ScanRecord {
    double x = 0.0;                  ///< metres, easting minus TRANSX (scanner position)
    double y = 0.0;                  ///< metres, northing minus TRANSY
    double z = 0.0;                  ///< metres, GPS elevation plus Z_CORRECTION
    double rotX = 0.0;               ///< radians, level compensation about x
    double rotY = 0.0;               ///< radians, level compensation about y
    double rotZ = 0.0;               ///< radians, heading estimate about z
    int32_t scanId = 0;              ///< the id every printed line and table shows
    std::string fileName;            ///< the scan's binary point file
    double distPlus = 0.0;           ///< metres to nbrPlus, or GPSMAXDIST when none
    double distMinus = 0.0;          ///< metres to nbrMinus, or GPSMAXDIST when none
    int32_t nbrPlus = -1;            ///< nearest scan north (east when DATADIR is not 0), -1 none
    int32_t nbrMinus = -1;           ///< nearest scan south (west), -1 none
    double rotationPlus = -9999.9;   ///< radians, from the registration on the plus side
    double rotationMinus = -9999.9;  ///< radians, from the registration on the minus side
};

/// True for a rotation field that holds a registration result; NOT_FOUND_ROTATION
/// (-9999.9) and anything else below -999 radians is none.
inline bool rotationFound(double radians) { return radians > -999.0; }

// One record of the survey database as written in the file (degrees, untranslated).
struct SurveyRecordText {
    double X = 0.0, Y = 0.0, Z = 0.0;     ///< metres, GPS point
    double A1 = 0.0, A2 = 0.0, A3 = 0.0;  ///< degrees: level about x, level about y, heading
    int32_t id1 = 0;                      ///< first scan id
    int32_t id2 = 0;                      ///< second scan id
    std::string name;                     ///< the NAME word, whole
};

// The survey database: a header line, then one record a line, nine comma-separated
// fields X,Y,Z,A1,A2,A3,ID1,ID2,NAME; blank lines are passed over.
struct SurveyDatabase {
    enum Problem { None, FieldCount, NotANumber, BadName };
    std::string header;                     ///< line 1, without its line end
    std::vector<SurveyRecordText> records;  ///< the records before any line that is no record
    int32_t problemLine = 0;                ///< 1-based number of the first line that is no record, 0 none
    Problem problem = None;                 ///< what is wrong with it
    int32_t fieldCount = 0;                 ///< its number of fields (FieldCount)
    std::string problemText;                ///< the field that is no number, or the name (printable)
};

/// Reads the whole survey database; nullopt when the file cannot be opened. Reading
/// stops at the first line after the header that is neither blank nor a record.
std::optional<SurveyDatabase> readSurveyDatabase(const std::string& path);

/// The binary point file of a scan: database base name, padded ids, NAME, ".bxyz".
std::string composeScanFileName(const std::string& scanDatabaseName, int32_t zeroPad, int32_t id1, int32_t id2,
                                const std::string& name);

/// The scan record of one database record (translated position, radians).
ScanRecord makeScanRecord(const SurveyRecordText& record, const RegSettings& settings);

/// Fills the neighbour fields of every scan (nearest along the survey line on each side).
void findNeighbours(std::vector<ScanRecord>& scans, const RegSettings& settings);
