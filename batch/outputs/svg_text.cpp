#include "batch/outputs/svg_text.h"

#include <charconv>
#include <cstdint>

namespace {

// Length of the UTF-8 sequence that starts at `i`, 0 when the bytes there are not one
// (overlong forms, surrogates and values above U+10FFFF included).
std::size_t utf8Length(const std::string& text, std::size_t i)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    uint32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07u;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0u) != 0x80u)
            return 0;
        code = (code << 6) | (byte(i + k) & 0x3Fu);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    // U+FFFE and U+FFFF are not XML characters either.
    if (overlong || surrogate || code > 0x10FFFF || code == 0xFFFE || code == 0xFFFF)
        return 0;
    return length;
}

}  // namespace

std::string fixedText(double value, int decimals)
{
    char buffer[400];  // the longest double in fixed notation with nine decimals fits
    const std::to_chars_result r =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return r.ec == std::errc() ? std::string(buffer, r.ptr) : std::string("0");
}

std::string xmlEscaped(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        const unsigned char u = static_cast<unsigned char>(c);
        if (u >= 0x80) {
            const std::size_t length = utf8Length(text, i);
            out.append(length > 0 ? text.substr(i, length) : std::string("?"));
            i += length > 0 ? length : 1;
            continue;
        }
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            out += (u < 0x20 && c != '\t' && c != '\n' && c != '\r') || u == 0x7F ? '?' : c;
        }
        ++i;
    }
    return out;
}

void appendAttribute(std::string& svg, const char* name, const std::string& value)
{
    svg += ' ';
    svg += name;
    svg += "=\"";
    svg += value;
    svg += '"';
}

void appendNumber(std::string& svg, const char* name, double value, int decimals)
{
    appendAttribute(svg, name, fixedText(value, decimals));
}
