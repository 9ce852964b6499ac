#pragma once
// The name the batch program expects for a scan of the survey database. The only
// file of the importer that uses the batch program's own readers, so that a change
// to their signatures is mended here alone.

#include <cstdint>
#include <string>
#include <vector>

struct ScanSelection {
    int32_t record = 0;    ///< 1-based record of the database (after the header), 0: by id
    int32_t id1 = 0;       ///< the record whose ID1 this is, when record is 0
    int32_t zeroPad = -1;  ///< 0 or 1 to override ZEROPAD, -1: from ipcreg.txt beside the database, else 1
};

struct ScanName {
    std::string path;    ///< <database without its extension>_<ID1>_<ID2>_<NAME>.bxyz
    int32_t record = 0;  ///< 1-based record used
    int32_t id1 = 0;
    int32_t id2 = 0;
    std::string name;         ///< the record's NAME
    int32_t zeroPad = 1;      ///< ZEROPAD used
    std::string zeroPadFrom;  ///< where ZEROPAD came from: the option, the settings file, or the default
};

/// false with `error` set when the database cannot be read, its name does not end in
/// .csv or .txt, or the record asked for is not there (or, by id, is there twice).
bool nameScanFromDatabase(const std::string& database, const ScanSelection& selection, ScanName& scan,
                          std::string& error);

/// ZEROPAD for the scan files of `database`: `option` when it is 0 or 1, else ZEROPAD of
/// ipcreg.txt beside the database, else the batch program's default (1). `from` says which.
void chooseZeroPad(const std::string& database, int32_t option, int32_t& zeroPad, std::string& from);

/// The point file the batch program expects for a record of `database`; empty when the
/// database name does not end in .csv or .txt.
std::string scanFilePath(const std::string& database, int32_t zeroPad, int32_t id1, int32_t id2,
                         const std::string& name);

/// Every record of the database with its point file (ZEROPAD as chooseZeroPad gives it
/// for `zeroPadOption`); false with `error` set as nameScanFromDatabase sets it.
bool nameAllRecords(const std::string& database, int32_t zeroPadOption, std::vector<ScanName>& scans,
                    std::string& error);
