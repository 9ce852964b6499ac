#pragma once
// The name the batch program expects for a scan of the survey database. The only
// file of the importer that uses the batch program's own readers, so that a change
// to their signatures is mended here alone.

#include <cstdint>
#include <string>

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
