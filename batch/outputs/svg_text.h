#pragma once

#include <string>

// Text of the SVG files the runs write by hand. Numbers come out of std::to_chars,
// which ignores the locale and rounds exactly, so both builds write the same bytes.

/// `value` with `decimals` decimals (0 to 9), as "%.*f" writes it in the C locale.
std::string fixedText(double value, int decimals);

/// `text` made safe as XML character data or an attribute value: & < > " ' escaped;
/// control characters and bytes that are not UTF-8 become '?', so a name read from
/// a file in another encoding cannot make the file unreadable.
std::string xmlEscaped(const std::string& text);

/// Appends ` name="value"` with `value` taken as it is (the caller escapes text).
void appendAttribute(std::string& svg, const char* name, const std::string& value);

/// Appends ` name="..."` with a number of `decimals` decimals.
void appendNumber(std::string& svg, const char* name, double value, int decimals = 2);
