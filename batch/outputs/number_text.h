#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Numbers as printf writes them, built without printf for the large point files:
// the fixed forms give exactly what "%lf" gives (six decimals, correctly rounded with
// exact ties to even, "-0.000000" for small negative values and negative zero, "nan",
// "-inf" and the like as printf spells them), the integer forms what "%i" gives.

/// Room that writeFixed6 may need: a sign, 309 integer digits, the point, six decimals.
constexpr std::size_t FIXED6_MAX_CHARS = 320;
/// Room that writeInteger may need.
constexpr std::size_t INTEGER_MAX_CHARS = 11;

/// Writes `value` as "%lf" does at `out`, which has room for FIXED6_MAX_CHARS
/// characters; returns the end of what was written (no terminating NUL). With `readBack`,
/// what fixed6TextValue reads from the text written goes there, NaN where it reads nothing.
char* writeFixed6(char* out, double value, double* readBack = nullptr);
/// Writes `value` as "%i" does at `out` (room for INTEGER_MAX_CHARS); returns the end.
char* writeInteger(char* out, int32_t value);

/// The double nearest to the number that text written by writeFixed6 stands for, for the
/// plain form [-]digits.dddddd of fewer than 2^53 millionths N: N / 1e6, which IEEE
/// division rounds correctly (negated for a minus sign). False for any other text.
bool fixed6TextValue(const char* from, const char* to, double& value);

void appendFixed6(std::string& text, double value);
void appendInteger(std::string& text, int32_t value);
