#pragma once

// Numbers read from text exactly as std::strtod and std::strtoll (base 10) read them
// from the same characters, without their cost for the plain decimal numbers of point
// files. The text [p, end) holds no NUL character; `end` stands where a NUL would end
// the C string, so a number never reaches past it. White space before the number is
// skipped, as those functions skip it (the program runs in the "C" locale).

/// Reads a real number; returns the end of what was read, or `p` (with `value` 0.0)
/// when the text holds none.
const char* readReal(const char* p, const char* end, double& value);

/// Reads a whole number in base 10, saturated like std::strtoll; returns the end of
/// what was read, or `p` (with `value` 0) when the text holds none.
const char* readWhole(const char* p, const char* end, long long& value);

/// True for the characters std::isspace takes in the "C" locale.
inline bool isBlankChar(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
