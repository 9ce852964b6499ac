#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One rotation recorded in the registration table for one scan.
struct RotationEntry {
    int32_t scanId = 0;     ///< the scan's id
    double rotation = 0.0;  ///< degrees
    bool found = true;      ///< false for a row that found nothing (both rotations 0.000000)
};

// One data row of the registration table, as far as it could be read.
struct RegistrationRow {
    RotationEntry first;   ///< scan 1 and its rotation
    RotationEntry second;  ///< scan 2 and its rotation
    double rms = 0.0;      ///< metres; 0.0 when the row ends before it
    int32_t pairs = 0;     ///< numpts; 0 when the row ends before it
};

/// The data rows of the registration table at `path`, at most count / 2 of them (a row
/// that cannot be read holds scan 0 and rotation 0.0); empty when it cannot be opened.
std::vector<RegistrationRow> loadRegistrationRows(const std::string& path, int32_t count);

/// Two entries for every data row of the registration table at `path`; 0 when it
/// cannot be opened (reported).
int32_t countRotationEntries(const std::string& path);

/// The entries of the registration table, (scan 1, its rotation) then (scan 2, its
/// rotation) for each of count / 2 data rows. A row that cannot be read yields
/// two entries of scan 0 and rotation 0.0.
std::vector<RotationEntry> loadRotationTable(const std::string& path, int32_t count);

/// The mean (degrees) of the entries of `scanId` that hold a rotation found, with their
/// number and spread (largest minus smallest); 0.0 when there is none. A row with both
/// rotations at 0.000000 (a pair that did not improve, or failed) is the absence of a
/// result, not a rotation of 0.
double meanRotation(const std::vector<RotationEntry>& entries, int32_t scanId, int32_t& valueCount, double& spread);
