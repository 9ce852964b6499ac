#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

struct RegSettings;
struct ScanRecord;

// The names of the files the runs write beside each scan. Each rule cuts a fixed
// number of characters from the scan's file name, whatever its extension.

/// The rotated copy of a scan, written by the rotation and read by the RMS
/// evaluation: the name without its last four characters, then "_rot.txt"
/// (A.txt gives A_rot.txt, A.bxyz gives A._rot.txt).
std::string rotatedFileName(const std::string& fileName);

/// The matrix file: the last five characters replaced by "s.dat" (A.bxyz gives
/// As.dat). Empty when the name is shorter than five characters.
std::string matrixFileName(const std::string& fileName);

/// The export file: the last four characters cut, then "_adj.txt" (A.txt gives
/// A_adj.txt, A.bxyz gives A._adj.txt). Empty when the name is shorter than four.
std::string exportFileName(const std::string& fileName);

// What a run writes and reads, as far as the check of outputs against inputs needs it.
struct RunFiles {
    bool registers = false;         ///< writes the registration table
    bool rotates = false;           ///< writes the rotation table and the rotated copies; reads the
                                    ///< registration table unless it registers first
    bool evaluates = false;         ///< writes the RMS table
    bool drawsPlan = false;         ///< writes the plan
    bool comparesTwoFiles = false;  ///< reads two loose point files, writes the diagnostic files
    bool writesMatrices = false;    ///< writes each scan's matrix file
    bool exports = false;           ///< writes each scan's export
};

/// Every file the run writes, the log first; a scan's own output is empty when no name
/// can be formed from the scan's file name.
std::vector<std::string> runOutputs(const RunFiles& work, const RegSettings& settings,
                                    const std::vector<ScanRecord>& scans);

/// The first output of a run that would replace one of its inputs (the configuration,
/// the survey database, a point file), as (output, input). `file1` and `file2` are the
/// two point files that are compared.
std::optional<std::pair<std::string, std::string>> findOverwrittenInput(const RunFiles& work,
                                                                        const RegSettings& settings,
                                                                        const std::vector<ScanRecord>& scans,
                                                                        const std::string& file1,
                                                                        const std::string& file2);
