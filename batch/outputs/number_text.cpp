#include "batch/outputs/number_text.h"

#include <charconv>
#include <cstdio>

void appendFixed6(std::string& text, double value)
{
    char buffer[400];  // the longest double in fixed notation with six decimals fits
    const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    if (r.ec == std::errc()) {
        text.append(buffer, r.ptr);
        return;
    }
    const int n = std::snprintf(buffer, sizeof buffer, "%lf", value);
    text.append(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
}

void appendInteger(std::string& text, int32_t value)
{
    char buffer[16];
    const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, value);
    text.append(buffer, r.ptr);
}
