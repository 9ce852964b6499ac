#pragma once

// The program's value of pi is 3.14159265, not the full-precision one: every
// degree value (survey database, configuration, tables) is converted with it.
constexpr double DEG_TO_RAD = 3.14159265 / 180.0;
constexpr double RAD_TO_DEG = 180.0 / 3.14159265;

constexpr double Z_CORRECTION = 0.29;           ///< metres, scanner origin above the GPS point
constexpr double NOT_FOUND_ROTATION = -9999.9;  ///< radians, a rotation not yet found
constexpr double NO_VALID_RMS = 999.0;          ///< metres, marks an RMS from too few pairs
