#pragma once
// The survey database written from the scans' own poses: for each scan its scanner's
// position and angles as a database record states them, a NAME fit for a file name,
// and the TRANSX and TRANSY that suit the survey.

#include "batch/file_ptr.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

/// One record of the survey database.
struct PoseRecord {
    double x = 0.0;    ///< X, metres: easting of the scanner origin
    double y = 0.0;    ///< Y, metres: northing
    double z = 0.0;    ///< Z, metres: elevation of the scanner origin less Z_CORRECTION, as the batch adds it back
    double a1 = 0.0;   ///< A1, degrees about x
    double a2 = 0.0;   ///< A2, degrees about y
    double a3 = 0.0;   ///< A3, degrees about z, 0 to 360
    int32_t id1 = 0;   ///< ID1
    int32_t id2 = 1;   ///< ID2
    std::string name;  ///< NAME
};

/// The position and angles of a pose (file point = rotation * scanner point + translation):
/// R = Rz(A3) Ry(A2) Rx(A1), degrees converted with the batch program's value of pi, so
/// that the batch program builds the same rotation from them.
PoseRecord recordOfPose(const double rotation[3][3], const double translation[3]);

/// A scan's name made fit for the NAME column and a file name: every run of characters
/// other than letters, digits, '.', '-', '+' and '_' becomes one '_' (so no blank, tab,
/// quote, comma or slash is left), at most 40 characters; "Scan<scan>" when nothing is left.
std::string safeScanName(const std::string& name, int32_t scan);

/// Makes the names unique by adding "_2", "_3", ... to the later of equal ones.
void makeNamesUnique(std::vector<std::string>& names);

/// TRANSX and TRANSY for the database: the mean of the scanner positions rounded to
/// whole kilometres (0 for a survey within 500 m of its frame's origin).
void adviseTranslation(const std::vector<PoseRecord>& records, double& transX, double& transY);

/// The database text: the header line and one record a line.
void putPoseRecords(std::FILE* to, const std::vector<PoseRecord>& records);
