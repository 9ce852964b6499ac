#pragma once

#include <string>

/// The rotated copy of a scan's point file, written by the rotation and read by the
/// RMS evaluation: the file name without its last four characters, then "_rot.txt"
/// (A.txt gives A_rot.txt, A.bxyz gives A._rot.txt).
std::string rotatedFileName(const std::string& fileName);
