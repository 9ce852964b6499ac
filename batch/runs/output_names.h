#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

struct ModeWork;
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

/// The first output of the mode's work that would replace one of its inputs (the
/// configuration, the survey database, a point file), as (output, input).
/// `file1` and `file2` are the two point files that are compared.
std::optional<std::pair<std::string, std::string>> findOverwrittenInput(const ModeWork& work,
                                                                        const RegSettings& settings,
                                                                        const std::vector<ScanRecord>& scans,
                                                                        const std::string& file1,
                                                                        const std::string& file2);
